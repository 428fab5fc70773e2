// The network backends: a serial device server reached over TCP, raw (the
// bytes as they are, at the server's line settings) or speaking telnet with the
// COM port option (RFC 2217, net/rfc2217.h: the link's settings set and read
// back, IAC doubled both ways).
//
// open() starts connecting and returns at once: the window's loop goes on, and
// frames written meanwhile go out, each in one write, once the line is up (for
// RFC 2217: once the settings are taken). Nagle is off (TCP_NODELAY), so that a
// 3-byte enquiry is not held back waiting for an ACK. A connection that is not
// up within kConnectMs is given up (the kernel would retry for minutes). Every
// failure closes the line and is told once, naming the address: refused, the
// host not found, no connection, closed by the server, the server busy with
// another client ("Port already in use"), not RFC 2217, a setting not taken.
// The next open tries again, so the line recovers when the server is back.
#pragma once

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include "line/transport.h"
#include "net/address.h"
#include "net/rfc2217.h"
#include "serial/local_port.h"

namespace varnak {

class TcpLine : public QObject, public Transport {
  Q_OBJECT

 public:
  static constexpr int kConnectMs = 2000;
  // After the connection is up, what the server says first is read before
  // anything is sent: a busy server says so and closes, and bytes sent into
  // that close would have the kernel drop its words (a reset purges what is
  // unread). Some milliseconds once per connection.
  static constexpr int kSettleMs = 15;

  TcpLine(LineAddress address, QString label, MsClock clock = SteadyMs);
  ~TcpLine() override;

  bool isOpen() const override { return state_ != State::Closed; }
  bool open() override;
  void close() override;
  bool write(const Bytes& frame) override;
  void apply(PortSetting setting) override;

  // Up and, for RFC 2217, with the settings taken: frames go at once.
  bool ready() const override { return state_ == State::Ready; }

 private:
  // Settling: connected, listening a moment before speaking (see kSettleMs).
  enum class State { Closed, Connecting, Settling, Negotiating, Ready };
  void onConnected();
  void onReadyRead();
  // The server's bytes past the greeting check: telnet undone, the rest to the listener.
  void onBytes(Bytes data, std::int64_t now);
  void onDisconnected();
  void onError(QAbstractSocket::SocketError error);
  void onTimer();
  void afterSettling();
  void armTimer();
  void becomeReady();
  void send(const Bytes& bytes);
  // Closes the line and tells why.
  void failWith(const QString& problem);
  void tell(const QString& problem);

  LineAddress address_;
  QString label_;
  MsClock clock_;
  QTcpSocket socket_;
  QTimer timer_;  // the connection's bound, then the negotiation's deadlines
  State state_ = State::Closed;
  Rfc2217Session session_;
  Bytes pending_;        // the newest frame written before the line was up
  Bytes settled_;        // what the server said while settling, for the session
  QByteArray greeting_;  // the start of what the server said (a busy port says so)
  QString problem_;
};

}  // namespace varnak
