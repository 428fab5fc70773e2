// The controller as one master sharing the line over TCP sees it, without I/O:
//
//   bytes from the master ─> push() ─> whole frames ─> ACK / NAK at once
//                                                  └─> a request asked of the line
//   the line's answer ─────> the data reply, or the ACK of the data block
//
// An exchange is opened by an enquiry, named by its header, and (a write)
// finished by its data block; one at a time, as on a line with one master. A
// request that fails on the line gets no reply at all, as if the frame had
// been lost there: the master then tries again as it would on a real line. A
// frame the session cannot serve is answered with NAK and nothing goes on the
// line. Time is passed in; the shell arms one timer at nextDeadline().
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/text.h"
#include "share/line_service.h"
#include "share/master_event.h"
#include "sim/controller.h"

namespace varnak::share {

// What a session needs of the line: LineService's ask and forget, as functions
// so that the session can be driven without an engine.
struct LineAsker {
  using RequestId = share::LineService::RequestId;
  std::function<std::optional<share::LineAnswer>(const share::LineRequest&, std::int64_t now,
                                                 share::LineService::Answer, RequestId*)>
      ask;
  std::function<void(RequestId)> forget;
};

class MasterSession {
 public:
  // How long a master may take for the next frame of an exchange (the header
  // after the enquiry, the data block after the write header) before the
  // exchange is dropped.
  static constexpr std::int64_t kStallMs = 2000;
  // A frame comes in one piece from a master on the network; a piece that has
  // not grown into a whole frame within this is dropped as noise, so that a
  // stray SOH cannot swallow the master's next enquiry for long.
  static constexpr std::int64_t kPieceMs = 500;
  // The outputs are answered from the engine's poll when it ended this recently.
  static constexpr std::int64_t kOutputsMaxAgeMs = 200;

  struct Hooks {
    std::function<void(const Bytes&)> send;                 // bytes to the master
    std::function<void(const share::MasterEvent&)> report;  // every request's end, every NAK
  };

  // `master`: the master's name in requests and events ("10.0.0.7:50112").
  MasterSession(std::string master, LineAsker line, Hooks hooks);
  // Gives up the request still waiting, silently (see leave()).
  ~MasterSession();
  MasterSession(const MasterSession&) = delete;
  MasterSession& operator=(const MasterSession&) = delete;

  const std::string& master() const { return master_; }
  // A bridge that takes no writes: a write header is answered with NAK.
  void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

  // Bytes from the master, at `now` (ms).
  void push(const Bytes& bytes, std::int64_t now);
  // When timeout() has something to do; none while nothing waits on the master.
  std::optional<std::int64_t> nextDeadline() const;
  void timeout(std::int64_t now);
  // The master went away: its waiting request is given up, and said so.
  void leave();

 private:
  enum class State {
    Idle,         // no exchange: only an enquiry is taken
    AwaitHeader,  // enquiry acknowledged
    AwaitData,    // write header acknowledged
    Waiting,      // a request is on the line
  };
  void frame(const Bytes& bytes, std::int64_t now);
  void header(const Bytes& bytes, std::int64_t now);
  void dataBlock(const Bytes& bytes, std::int64_t now);
  void ask(const share::LineRequest& request, std::string command, std::int64_t now);
  void answered(const share::LineAnswer& answer);
  // Ends the exchange open now; a request waiting for the line is forgotten (`why`).
  void drop(const char* why);
  void refuse(std::string command, const char* why);
  void report(std::string command, const char* outcome, std::string why = {}, std::string value = {});

  std::string master_;
  LineAsker line_;
  Hooks hooks_;
  sim::FrameSplitter splitter_;
  State state_ = State::Idle;
  bool readOnly_ = false;
  std::int64_t stallAt_ = 0;     // AwaitHeader, AwaitData: the exchange is dropped then
  std::int64_t pieceAt_ = 0;     // a piece of a frame is dropped then
  unsigned reg_ = 0;             // AwaitData: the register the write header named
  share::LineRequest request_;   // Waiting: what is asked
  std::string command_;          // Waiting: the request in words, for its event
  LineAsker::RequestId id_ = 0;  // Waiting: the line's id for it
};

}  // namespace varnak::share
