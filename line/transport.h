// What a line to the controller is, whatever carries it: a local serial port,
// raw TCP to a serial device server, or telnet with the COM port option
// (RFC 2217). The link control drives every backend through these operations
// and nothing more.
//
//   open ─> write(frame) ─> listener: onChunk(bytes) ... onProblem(why)
//   close
//
// The line settings are a constant of the link (9600 baud, odd parity, 8 data
// bits, 1 stop bit): a backend that can set them (a local port, RFC 2217) sets
// exactly these and refuses to run with fewer; raw TCP runs at the server's.
// Chunks come as the backend receives them, in any pieces: the link control
// assembles replies (link/reply_assembler.h). Every callback runs on the
// thread that drives the transport, between its other events, never inside an
// operation except onProblem during open() and write().
#pragma once

#include <cstdint>
#include <string>

#include "link/text.h"

namespace varnak {

// The link's line settings; their text is the link state's LineSettings.
struct LineSettings {
  int baud = 9600;
  char parity = 'o';  // n, o, e, m, s
  int dataBits = 8;
  int stopBits = 1;
};
inline constexpr LineSettings kLinkLineSettings{};
inline constexpr const char* kLinkLineSettingsText = "9600,o,8,1";

// What ConfigurePort asks of the line, in its order. Each holds from the next
// open on (and at once while open); a backend that has no such thing (raw TCP)
// takes it as done.
enum class PortSetting {
  LineSettings,   // kLinkLineSettings
  ClearInput,     // every byte received and not yet delivered is dropped
  NoHandshaking,  // no flow control of any kind
  DtrOff,         // DTR not asserted while open
};

class TransportListener {
 public:
  virtual ~TransportListener() = default;
  // Bytes received, in order, unchanged (a telnet line's escapes undone).
  // `now`: ms on the monotonic clock of the one who drives the link.
  virtual void onChunk(const Bytes& chunk, std::int64_t now) = 0;
  // The operator's sentence for what is wrong with the line now, naming it
  // ("tcp://plc:4001: connection refused"); empty once it works again.
  virtual void onProblem(const std::string& problem, std::int64_t now) = 0;
  // Something worth a line in the monitor that is no problem ("the server did
  // not answer DTR off").
  virtual void onNote(const std::string&, std::int64_t) {}
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Not owned; null: nobody listens (chunks are dropped).
  void setListener(TransportListener* listener) { listener_ = listener; }

  virtual bool isOpen() const = 0;
  // Opens the line (a network line starts connecting: frames written meanwhile
  // go once it is up). False, with the problem told, when it cannot.
  virtual bool open() = 0;
  // Releases the line; the settings stay for the next open.
  virtual void close() = 0;
  // One frame in one write, without waiting for a reply. False, with the
  // problem told, when it cannot go.
  virtual bool write(const Bytes& frame) = 0;
  virtual void apply(PortSetting setting) = 0;
  // Whether a frame written now goes at once (a network line may still be
  // connecting or setting the line; its frames wait for that).
  virtual bool ready() const { return isOpen(); }

 protected:
  TransportListener* listener_ = nullptr;
};

}  // namespace varnak
