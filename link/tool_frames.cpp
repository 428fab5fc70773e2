#include "tool_frames.h"

#include "link/decode.h"
#include "link/frames.h"
#include "link/replies.h"

namespace varnak {

bool ToolFrame::headerFieldsOk() const {
  return characters.size() == 14 && characters.compare(0, 2, "01") == 0 &&
         characters.compare(8, 4, "0002") == 0 && characters.compare(12, 2, "01") == 0 && address &&
         *address > 0;
}

ToolFrame RecogniseToolFrame(const Bytes& b) {
  ToolFrame f;
  if (b.size() == kEnquiryBytes && b[0] == 0x4E && b[1] == 0x21 && b[2] == kEnq) {
    f.kind = FrameKind::Enquiry;
    f.checkOk = true;
  } else if (b.size() == kHeaderBytes && b[0] == kSoh) {
    std::uint8_t lrc = 0;
    for (std::size_t i = 1; i <= 14; ++i) lrc ^= b[i];
    f.checkOk = b[15] == kEtb && lrc == b[16];
    f.characters.assign(b.begin() + 1, b.begin() + 15);
    f.address = HexField(b, 5, 4);
    const std::string op = f.characters.substr(2, 2);
    f.kind = op == "81"   ? FrameKind::WriteHeader
             : op == "01" ? FrameKind::ReadHeader
             : op == "03" ? FrameKind::PollHeader
                          : FrameKind::OtherHeader;
  } else if (b.size() == kDataBlockBytes && b[0] == kStx && b[3] == kEtx) {
    f.kind = FrameKind::DataBlock;
    f.checkOk = CheckByteOk(b, 0);
    f.value = static_cast<std::uint16_t>(b[2] << 8 | b[1]);
  }
  return f;
}

}  // namespace varnak
