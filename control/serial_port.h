// What the link control asks of a serial port, and nothing more. One backend
// drives a real device (QSerialPort), a fake records the bytes in tests.
//
// Failures are reported to the caller as a false return (with lastError()
// saying why); a backend never throws past a handler.
#pragma once

#include <optional>
#include <string>

#include "link/text.h"

namespace varnak {

enum class InputMode { Binary };  // reads return bytes unchanged
enum class Handshaking { None };  // no flow control of any kind

// The kind of the last port event; only data arrival is handled.
enum class CommEvent { None = 0, Send = 1, Receive = 2, Error = 1000 };

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  virtual bool isOpen() const = 0;
  // Releases the device; the settings stay in force for the next open.
  virtual void close() = 0;
  // The N-th serial port of the machine (1..32767), or none when the operator's
  // text named no valid port: every open then fails until a number is set.
  virtual void setPortNumber(std::optional<int> number) = 0;
  // "9600,o,8,1": baud, parity letter (n, o, e, m, s), data bits, stop bits.
  virtual bool setLineSettings(const std::string& settings) = 0;
  // Discards every byte waiting to be read.
  virtual void clearInput() = 0;
  // 0: a read returns every byte waiting.
  virtual void setReadLength(int length) = 0;
  virtual void setDtr(bool on) = 0;
  virtual void setInputMode(InputMode mode) = 0;
  virtual void setHandshaking(Handshaking handshaking) = 0;
  // Bytes waiting before a receive event is raised (1: as soon as data is there).
  virtual void setReceiveThreshold(int bytes) = 0;
  virtual void setSendThreshold(int bytes) = 0;

  // Opens with the settings above. False if the device cannot be opened.
  virtual bool open() = 0;
  // Queues every byte for sending, in order, without waiting for a reply.
  virtual bool write(const Bytes& bytes) = 0;
  virtual CommEvent lastEvent() const = 0;
  // Every byte waiting at this moment; those bytes leave the buffer.
  virtual Bytes read() = 0;

  // Why the last open or write failed, for the operator.
  virtual std::string lastError() const = 0;
};

}  // namespace varnak
