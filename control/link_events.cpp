#include "link_events.h"

namespace varnak {

bool IsIgnored(Ruling r) { return r >= Ruling::IgnoredNotAReply && r != Ruling::KeptForTheRest; }

const char* FailureText(Failure f) {
  switch (f) {
    case Failure::NoReply:
      return "no reply";
    case Failure::Refused:
      return "refused";
    case Failure::NotAReply:
      return "reply not understood";
    case Failure::CheckByteBad:
      return "check byte bad";
    case Failure::PortFailed:
      return "port failed";
    case Failure::BadInput:
      return "not sent";
    case Failure::Replaced:
      return "not sent: another command was clicked";
  }
  return "?";
}

const char* RulingText(Ruling r) {
  switch (r) {
    case Ruling::WriteHeaderSent:
      return "write header sent";
    case Ruling::DataBlockSent:
      return "data block sent";
    case Ruling::DataBlockSentAgain:
      return "data block sent again";
    case Ruling::ReadHeaderSent:
      return "read header sent";
    case Ruling::PollHeaderSent:
      return "poll header sent";
    case Ruling::ValueShown:
      return "value shown in Text5";
    case Ruling::LampsSet:
      return "lamps set";
    case Ruling::IgnoredNotAReply:
      return "ignored: not a reply";
    case Ruling::IgnoredRefused:
      return "ignored: refused (NAK)";
    case Ruling::IgnoredCheckByteBad:
      return "ignored: check byte bad";
    case Ruling::IgnoredAckOutsideWrite:
      return "ignored: ack outside a write";
    case Ruling::IgnoredDataWhileHeld:
      return "ignored: data reply while polling is held";
    case Ruling::IgnoredUnexpected:
      return "ignored: no exchange waits for this reply";
    case Ruling::KeptForTheRest:
      return "kept: waiting for the rest of the reply";
  }
  return "?";
}

const char* ExchangeName(ExchangeKind k) {
  switch (k) {
    case ExchangeKind::Write:
      return "write";
    case ExchangeKind::Read:
      return "read";
    case ExchangeKind::Poll:
      return "poll";
  }
  return "?";
}

}  // namespace varnak
