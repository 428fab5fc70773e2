#include "decode.h"

#include <cstdio>

#include "link/codec.h"
#include "link/frames.h"
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

std::optional<unsigned> ParseRegisterName(std::string_view text) {
  const std::size_t start = !text.empty() && (text[0] == 'R' || text[0] == 'r') ? 1 : 0;
  if (start == text.size() || text.size() - start > 6) return std::nullopt;
  unsigned v = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '7') return std::nullopt;
    v = v * 8 + static_cast<unsigned>(text[i] - '0');
  }
  if (v > 077777) return std::nullopt;
  return v;
}

std::string RegisterName(unsigned reg) {
  char s[16];
  std::snprintf(s, sizeof s, "R%o", reg);
  return s;
}

std::string TraceLine(double ms, const char* direction, const Bytes& chunk) {
  char head[48];
  std::snprintf(head, sizeof head, "%10.3f %s ", ms, direction);
  return head + BytesToHex(chunk) + "  " + DescribeChunk(chunk);
}

std::string DescribeChunk(const Bytes& b) {
  const Reply r = RecogniseReply(b);
  switch (r.kind) {
    case ReplyKind::EnquiryAck:
      return "enquiry ack";
    case ReplyKind::EnquiryNak:
      return "enquiry nak";
    case ReplyKind::Ack:
      return "ack";
    case ReplyKind::Nak:
      return "nak";
    case ReplyKind::Data:
    case ReplyKind::DataBadCheck: {
      const std::string lead = b[0] == kAck ? "ack" : b[0] == kNak ? "nak" : "?";
      return lead + " + data " + ValueHex(r.value()) +
             (r.kind == ReplyKind::Data ? " (check byte ok)" : " (check byte bad)");
    }
    case ReplyKind::NotAReply:
      break;
  }
  const ToolFrame f = RecogniseToolFrame(b);
  std::string kind;
  switch (f.kind) {
    case FrameKind::Enquiry:
      return "enquiry";
    case FrameKind::PollHeader:
      kind = "poll header";
      break;
    case FrameKind::WriteHeader:
      kind = "write header " + (f.reg() ? RegisterName(*f.reg()) : std::string());
      break;
    case FrameKind::ReadHeader:
      kind = "read header " + (f.reg() ? RegisterName(*f.reg()) : std::string());
      break;
    case FrameKind::OtherHeader:
      kind = "header";
      break;
    case FrameKind::DataBlock:
      kind = "data block " + ValueHex(f.value);
      break;
    case FrameKind::NotAFrame:
      return "unrecognised";
  }
  return f.checkOk ? kind : kind + " (bad LRC)";
}

}  // namespace varnak
