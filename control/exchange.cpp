#include "exchange.h"

namespace varnak {

namespace {

constexpr ExchangeStep kWriteSteps[] = {{FrameKind::Enquiry, ExpectedReply::EnquiryAck},
                                        {FrameKind::WriteHeader, ExpectedReply::Ack},
                                        {FrameKind::DataBlock, ExpectedReply::Ack}};
constexpr ExchangeStep kReadSteps[] = {{FrameKind::Enquiry, ExpectedReply::EnquiryAck},
                                       {FrameKind::ReadHeader, ExpectedReply::Data}};
constexpr ExchangeStep kPollSteps[] = {{FrameKind::Enquiry, ExpectedReply::EnquiryAck},
                                       {FrameKind::PollHeader, ExpectedReply::Data}};

}  // namespace

ExchangeSteps StepsOf(ExchangeKind kind) {
  switch (kind) {
    case ExchangeKind::Write:
    case ExchangeKind::ListWrite:
      return {kWriteSteps, std::size(kWriteSteps)};
    case ExchangeKind::Read:
    case ExchangeKind::ListRead:
      return {kReadSteps, std::size(kReadSteps)};
    case ExchangeKind::Poll:
    case ExchangeKind::Outputs:
      break;
  }
  return {kPollSteps, std::size(kPollSteps)};
}

bool IsRetried(const Exchange& x, Failure failure) {
  const bool lost = failure == Failure::NoReply || failure == Failure::Refused ||
                    failure == Failure::NotAReply || failure == Failure::CheckByteBad;
  return lost && (IsCommand(x.kind) || x.kind == ExchangeKind::ListWrite || x.cause == Cause::Master);
}

Rule MatchRule(ReplyKind kind, const LinkState& s) {
  // In the order the dispatcher tests them; the conditions exclude each other.
  if (kind == ReplyKind::EnquiryAck && s.WriteMode && !s.PollMode) return Rule::WriteEnquiryAcked;
  if (kind == ReplyKind::Ack && s.WriteMode && !s.PollMode) return Rule::WriteAcked;
  if (kind == ReplyKind::EnquiryAck && !s.WriteMode && !s.PollMode) return Rule::ReadEnquiryAcked;
  if (kind == ReplyKind::EnquiryAck && s.PollMode && !s.WriteMode) return Rule::PollEnquiryAcked;
  if (kind == ReplyKind::Data && !s.PollMode && !s.PollHold) return Rule::ReadData;
  if (kind == ReplyKind::Data && s.PollMode) return Rule::PollData;
  return Rule::None;
}

}  // namespace varnak
