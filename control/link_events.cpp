#include "link_events.h"

namespace varnak {

bool IsIgnored(Ruling r) { return r >= Ruling::IgnoredNotAReply && r <= Ruling::IgnoredUnexpected; }

const char* FailureText(Failure f) {
  switch (f) {
    case Failure::NoReply:
      return QT_TRANSLATE_NOOP("LinkEvents", "no reply");
    case Failure::Refused:
      return QT_TRANSLATE_NOOP("LinkEvents", "refused");
    case Failure::NotAReply:
      return QT_TRANSLATE_NOOP("LinkEvents", "reply not understood");
    case Failure::CheckByteBad:
      return QT_TRANSLATE_NOOP("LinkEvents", "check byte bad");
    case Failure::PortFailed:
      return QT_TRANSLATE_NOOP("LinkEvents", "port failed");
    case Failure::BadInput:
      return QT_TRANSLATE_NOOP("LinkEvents", "not sent");
    case Failure::Replaced:
      return QT_TRANSLATE_NOOP("LinkEvents", "not sent: another command was clicked");
    case Failure::Withdrawn:
      return QT_TRANSLATE_NOOP("LinkEvents", "not sent: withdrawn");
  }
  return "?";
}

const char* RulingText(Ruling r) {
  switch (r) {
    case Ruling::WriteHeaderSent:
      return QT_TRANSLATE_NOOP("LinkEvents", "write header sent");
    case Ruling::DataBlockSent:
      return QT_TRANSLATE_NOOP("LinkEvents", "data block sent");
    case Ruling::DataBlockSentAgain:
      return QT_TRANSLATE_NOOP("LinkEvents", "data block sent again");
    case Ruling::ReadHeaderSent:
      return QT_TRANSLATE_NOOP("LinkEvents", "read header sent");
    case Ruling::PollHeaderSent:
      return QT_TRANSLATE_NOOP("LinkEvents", "poll header sent");
    case Ruling::ValueShown:
      return QT_TRANSLATE_NOOP("LinkEvents", "value shown in the read box");
    case Ruling::LampsSet:
      return QT_TRANSLATE_NOOP("LinkEvents", "lamps set");
    case Ruling::IgnoredNotAReply:
      return QT_TRANSLATE_NOOP("LinkEvents", "ignored: not a reply");
    case Ruling::IgnoredRefused:
      return QT_TRANSLATE_NOOP("LinkEvents", "ignored: refused (NAK)");
    case Ruling::IgnoredCheckByteBad:
      return QT_TRANSLATE_NOOP("LinkEvents", "ignored: check byte bad");
    case Ruling::IgnoredAckOutsideWrite:
      return QT_TRANSLATE_NOOP("LinkEvents", "ignored: ack outside a write");
    case Ruling::IgnoredDataWhileHeld:
      return QT_TRANSLATE_NOOP("LinkEvents", "ignored: data reply while polling is held");
    case Ruling::IgnoredUnexpected:
      return QT_TRANSLATE_NOOP("LinkEvents", "ignored: no exchange waits for this reply");
    case Ruling::ListValueRead:
      return QT_TRANSLATE_NOOP("LinkEvents", "value read for the register list");
    case Ruling::ListWriteConfirmed:
      return QT_TRANSLATE_NOOP("LinkEvents", "list write confirmed");
    case Ruling::KeptForTheRest:
      return QT_TRANSLATE_NOOP("LinkEvents", "kept: waiting for the rest of the reply");
  }
  return "?";
}

const char* ExchangeName(ExchangeKind k) {
  switch (k) {
    case ExchangeKind::Write:
      return QT_TRANSLATE_NOOP("LinkEvents", "write");
    case ExchangeKind::Read:
      return QT_TRANSLATE_NOOP("LinkEvents", "read");
    case ExchangeKind::Poll:
      return QT_TRANSLATE_NOOP("LinkEvents", "poll");
    case ExchangeKind::ListRead:
      return QT_TRANSLATE_NOOP("LinkEvents", "list read");
    case ExchangeKind::ListWrite:
      return QT_TRANSLATE_NOOP("LinkEvents", "list write");
    case ExchangeKind::Outputs:
      return QT_TRANSLATE_NOOP("LinkEvents", "outputs read");
  }
  return "?";
}

const char* CauseText(Cause c) {
  switch (c) {
    case Cause::None:
      return "";
    case Cause::WriteButton:
      return QT_TRANSLATE_NOOP("LinkEvents", "the write button");
    case Cause::ReadButton:
      return QT_TRANSLATE_NOOP("LinkEvents", "the read button");
    case Cause::CancelButton:
      return QT_TRANSLATE_NOOP("LinkEvents", "the cancel button");
    case Cause::PollTimer:
      return QT_TRANSLATE_NOOP("LinkEvents", "the poll timer");
    case Cause::ClickValueBox:
      return QT_TRANSLATE_NOOP("LinkEvents", "a click into the value box");
    case Cause::ClickWriteRegisterBox:
      return QT_TRANSLATE_NOOP("LinkEvents", "a click into the write register box");
    case Cause::ClickReadBox:
      return QT_TRANSLATE_NOOP("LinkEvents", "a click into the read box");
    case Cause::ClickReadRegisterBox:
      return QT_TRANSLATE_NOOP("LinkEvents", "a click into the read register box");
    case Cause::ClickDuringCommand:
      return QT_TRANSLATE_NOOP("LinkEvents", "a click into a box during the command");
    case Cause::CommandEnded:
      return QT_TRANSLATE_NOOP("LinkEvents", "the command ended");
    case Cause::Reply:
      return QT_TRANSLATE_NOOP("LinkEvents", "a reply");
    case Cause::StartUp:
      return QT_TRANSLATE_NOOP("LinkEvents", "start-up");
    case Cause::PortNumberChanged:
      return QT_TRANSLATE_NOOP("LinkEvents", "port number changed");
    case Cause::WriteFailed:
      return QT_TRANSLATE_NOOP("LinkEvents", "write failed");
    case Cause::RegisterList:
      return QT_TRANSLATE_NOOP("LinkEvents", "the register list");
    case Cause::Master:
      return QT_TRANSLATE_NOOP("LinkEvents", "a master");
  }
  return "?";
}

}  // namespace varnak
