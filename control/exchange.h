// The kinds of exchange and what each one is: the frames it sends in turn, the
// reply each step waits for, and whether it moves the link flags. An exchange
// under way is one of these and the index of the step whose reply it awaits.
//
//   write        enquiry -> enquiry ack, write header -> ack, data block -> ack (confirmed)
//   read         enquiry -> enquiry ack, read header -> data reply (into the read box)
//   poll         enquiry -> enquiry ack, poll header -> data reply (onto the lamps)
//   list read    as a read, for the register list or a master: no flag, no box, no lamp
//   list write   as a write, for a row of the register list or a master: no flag, no box
//   outputs      as a poll, for a master: no flag, no lamp
//
// The operator's write and read and the poll are carried by the receive
// dispatcher's rules under the flags, as before the list existed; the list's
// exchanges never reach those rules.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "control/link_events.h"
#include "control/link_state.h"
#include "control/list_source.h"
#include "link/replies.h"
#include "link/tool_frames.h"

namespace varnak {

struct ExchangeStep {
  FrameKind frame;       // what this step sends
  ExpectedReply awaits;  // the reply that ends this step
};

// The steps of a kind, in order; the last step's reply ends the exchange.
struct ExchangeSteps {
  const ExchangeStep* steps;
  std::size_t count;
};
ExchangeSteps StepsOf(ExchangeKind kind);

// The write, read and poll move PollMode, WriteMode and PollHold; the list's never do.
inline bool SetsFlags(ExchangeKind kind) {
  return kind == ExchangeKind::Write || kind == ExchangeKind::Read || kind == ExchangeKind::Poll;
}
// The exchanges judged by their steps alone, never by the dispatcher's rules.
inline bool IsListExchange(ExchangeKind kind) { return !SetsFlags(kind); }
// The operator's write and read from the main window.
inline bool IsCommand(ExchangeKind kind) { return kind == ExchangeKind::Write || kind == ExchangeKind::Read; }

// A command, a row write or a master's job lost on the line (no reply, NAK, a
// reply not understood or with a bad check byte) is tried again from the
// enquiry, this many times in all unless told otherwise. A write stores the same
// value each time, so repeating it is safe. Polls and list reads are not
// repeated: the next tick or round reads again.
constexpr int kAttempts = 3;
struct Exchange;
bool IsRetried(const Exchange& exchange, Failure failure);

// One exchange: its kind, what it works on, and where it stands.
struct Exchange {
  JobId id = 0;  // the job it carries
  ExchangeKind kind = ExchangeKind::Poll;
  Cause cause = Cause::None;
  std::string master;                  // Cause::Master: who submitted it
  std::optional<unsigned> number;      // the register as a number, when the text meant one
  bool noSuchRegister = false;         // a master's job for a register above 77777: ends unsent
  JobId after = 0;                     // a master's job that must have succeeded first (Job::after)
  std::optional<Failure> afterFailed;  // how that job failed: this one ends unsent
  Text registerDigits;                 // octal digits for the header (write, read, list)
  Text value;                          // write: the value as typed; list write: four hex digits
  std::string reg;                     // "R2000", for reports and the title
  ListJob job;                         // list exchanges: the job as the list handed it out
  std::size_t step = 0;                // the step whose reply is awaited
  int attempt = 1;                     // 1 to kAttempts

  bool fromList() const { return cause == Cause::RegisterList; }
  const ExchangeStep& current() const { return StepsOf(kind).steps[step]; }
  bool atLastStep() const { return step + 1 == StepsOf(kind).count; }
};

// The dispatcher's six rules, by the conditions they test: the chunk's kind and
// the flags as they stand. None when no rule takes the chunk.
enum class Rule {
  None,
  WriteEnquiryAcked,  // 1: write header
  WriteAcked,         // 2: data block (again on every further ack)
  ReadEnquiryAcked,   // 3: read header
  PollEnquiryAcked,   // 4: poll header
  ReadData,           // 5: the value into the read box
  PollData,           // 6: the lamps
};
Rule MatchRule(ReplyKind kind, const LinkState& flags);

}  // namespace varnak
