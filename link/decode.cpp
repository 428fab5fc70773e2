#include "decode.h"

#include <cstdio>

#include "link/codec.h"
#include "link/frames.h"
#include "link/register_number.h"
#include "link/replies.h"
#include "link/tool_frames.h"

namespace varnak {

std::optional<unsigned> HexField(const Bytes& b, std::size_t from, std::size_t count) {
  if (b.size() < from + count) return std::nullopt;
  unsigned v = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    const int d = HexDigitValue(b[i]);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<unsigned>(d);
  }
  return v;
}

std::string RegisterOfAddress(const Bytes& header) {
  const auto address = HexField(header, 5, 4);
  return address && *address ? RegisterName(*address - 1) : std::string();
}

std::string TraceLine(double ms, const char* direction, const Bytes& chunk) {
  char head[48];
  std::snprintf(head, sizeof head, "%10.3f %s ", ms, direction);
  return head + BytesToHex(chunk) + "  " + DescribeChunk(chunk);
}

std::string DescribeChunk(const Bytes& b, Translate lang) {
  const auto say = [&](const char* key) { return lang("Decode", key); };
  const Reply r = RecogniseReply(b);
  switch (r.kind) {
    case ReplyKind::EnquiryAck:
      return say(QT_TRANSLATE_NOOP("Decode", "enquiry ack"));
    case ReplyKind::EnquiryNak:
      return say(QT_TRANSLATE_NOOP("Decode", "enquiry nak"));
    case ReplyKind::Ack:
      return say(QT_TRANSLATE_NOOP("Decode", "ack"));
    case ReplyKind::Nak:
      return say(QT_TRANSLATE_NOOP("Decode", "nak"));
    case ReplyKind::Data:
    case ReplyKind::DataBadCheck: {
      const std::string lead = b[0] == kAck   ? say(QT_TRANSLATE_NOOP("Decode", "ack"))
                               : b[0] == kNak ? say(QT_TRANSLATE_NOOP("Decode", "nak"))
                                              : std::string("?");
      return Fill(r.kind == ReplyKind::Data
                      ? say(QT_TRANSLATE_NOOP("Decode", "%1 + data %2 (check byte ok)"))
                      : say(QT_TRANSLATE_NOOP("Decode", "%1 + data %2 (check byte bad)")),
                  {lead, ValueHex(r.value())});
    }
    case ReplyKind::NotAReply:
      break;
  }
  const ToolFrame f = RecogniseToolFrame(b);
  const std::string reg = f.reg() ? RegisterName(*f.reg()) : std::string();
  std::string kind;
  switch (f.kind) {
    case FrameKind::Enquiry:
      return say(QT_TRANSLATE_NOOP("Decode", "enquiry"));
    case FrameKind::PollHeader:
      kind = say(QT_TRANSLATE_NOOP("Decode", "poll header"));
      break;
    case FrameKind::WriteHeader:
      kind = Fill(say(QT_TRANSLATE_NOOP("Decode", "write header %1")), {reg});
      break;
    case FrameKind::ReadHeader:
      kind = Fill(say(QT_TRANSLATE_NOOP("Decode", "read header %1")), {reg});
      break;
    case FrameKind::OtherHeader:
      kind = say(QT_TRANSLATE_NOOP("Decode", "header"));
      break;
    case FrameKind::DataBlock:
      kind = Fill(say(QT_TRANSLATE_NOOP("Decode", "data block %1")), {ValueHex(f.value)});
      break;
    case FrameKind::NotAFrame:
      return say(QT_TRANSLATE_NOOP("Decode", "unrecognised"));
  }
  return f.checkOk ? kind : Fill(say(QT_TRANSLATE_NOOP("Decode", "%1 (bad LRC)")), {kind});
}

}  // namespace varnak
