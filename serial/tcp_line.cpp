#include "tcp_line.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace varnak {

namespace {

QString Say(const char* text) { return QCoreApplication::translate("varnak::TcpLine", text); }

// A setting in the operator's words, as a local port's read-back names them.
QString SettingWords(const std::string& english) {
  const QString e = QString::fromStdString(english);
  const auto port = [](const char* text) { return QCoreApplication::translate("varnak::PortLock", text); };
  static const QRegularExpression number(QStringLiteral("^(\\d+) (baud|data bits)$"));
  if (const auto m = number.match(e); m.hasMatch())
    return port(m.captured(2) == QLatin1String("baud") ? "%1 baud" : "%1 data bits").arg(m.captured(1));
  for (const char* words : {"no parity", "odd parity", "even parity", "mark parity", "space parity",
                            "1 stop bit", "2 stop bits", "no flow control"})
    if (english == words) return port(words);
  return e;
}

// What a server that admits one client says to the second before it closes:
// "Port already in use", or "Device open failure: Value or file in use" when
// the device behind the port is held through another of its ports.
bool SaysInUse(const QByteArray& said) {
  return said.contains("already in use") ||
         (said.startsWith("Device open failure") && said.contains("in use"));
}
// What a server says when it cannot open its serial device for another reason.
bool SaysOpenFailure(const QByteArray& said) { return said.startsWith("Device open failure"); }
// How much of the start of a connection is looked at for it.
constexpr int kGreetingBytes = 256;

}  // namespace

TcpLine::TcpLine(LineAddress address, QString label, MsClock clock)
    : address_(std::move(address)), label_(std::move(label)), clock_(std::move(clock)) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &TcpLine::onTimer);
  connect(&socket_, &QTcpSocket::connected, this, &TcpLine::onConnected);
  connect(&socket_, &QTcpSocket::readyRead, this, &TcpLine::onReadyRead);
  connect(&socket_, &QTcpSocket::disconnected, this, &TcpLine::onDisconnected);
  connect(&socket_, &QAbstractSocket::errorOccurred, this, &TcpLine::onError);
}

TcpLine::~TcpLine() {
  socket_.disconnect(this);
  socket_.abort();
}

bool TcpLine::open() {
  if (state_ != State::Closed) return true;
  pending_.clear();
  greeting_.clear();
  state_ = State::Connecting;
  timer_.start(kConnectMs);
  socket_.connectToHost(QString::fromStdString(address_.host), static_cast<quint16>(address_.port));
  return state_ != State::Closed;  // a name that cannot be looked up may fail at once
}

void TcpLine::close() {
  timer_.stop();
  pending_.clear();
  state_ = State::Closed;
  socket_.abort();
}

void TcpLine::apply(PortSetting setting) {
  // The line settings, handshaking and DTR are asked for at every connection
  // (RFC 2217) or are the server's (raw); nothing is buffered here to clear.
  (void)setting;
}

bool TcpLine::write(const Bytes& frame) {
  if (state_ == State::Closed) return false;
  if (state_ != State::Ready) {
    // Only the newest frame waits for the connection: an older one belongs to
    // an exchange that has timed out meanwhile, and two enquiries back to back
    // would put the next exchange out of step.
    pending_ = frame;
    return true;
  }
  if (address_.kind == LineAddress::Kind::Rfc2217) {
    Bytes escaped = Rfc2217Session::Escape(frame);
    // A frame that ends in a doubled IAC (a data block of 00FF ends 03 FF) is
    // held back by some servers until more comes (ser2net: a second); a telnet
    // NOP after it lets it go at once and puts nothing on the serial line.
    if (!frame.empty() && frame.back() == Rfc2217Session::kIac)
      escaped.insert(escaped.end(), {Rfc2217Session::kIac, Rfc2217Session::kNop});
    send(escaped);
  } else {
    send(frame);
  }
  return state_ != State::Closed;
}

void TcpLine::send(const Bytes& bytes) {
  const auto size = static_cast<qint64>(bytes.size());
  if (socket_.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
    failWith(
        Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: cannot send: %2")).arg(label_, socket_.errorString()));
    return;
  }
  socket_.flush();  // one write now, not at the next turn of the event loop
}

void TcpLine::onConnected() {
  socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
  state_ = State::Settling;
  settled_.clear();
  timer_.start(kSettleMs);
}

void TcpLine::afterSettling() {
  if (address_.kind != LineAddress::Kind::Rfc2217) return becomeReady();
  state_ = State::Negotiating;
  send(session_.start(clock_()));
  // What the server said meanwhile (its own offers, DO COM-PORT-OPTION among them) comes now.
  if (!settled_.empty()) {
    Bytes said;
    said.swap(settled_);
    onBytes(said, clock_());
    if (state_ == State::Closed) return;
  }
  armTimer();
}

void TcpLine::becomeReady() {
  state_ = State::Ready;
  timer_.stop();
  tell(QString());
  if (pending_.empty()) return;
  Bytes frames;
  frames.swap(pending_);
  write(frames);
}

void TcpLine::armTimer() {
  const auto d = session_.deadline();
  if (!d) return timer_.stop();
  timer_.start(static_cast<int>(std::max<std::int64_t>(0, *d - clock_())));
}

void TcpLine::onTimer() {
  if (state_ == State::Connecting) {
    return failWith(
        Say(QT_TRANSLATE_NOOP("varnak::TcpLine",
                              "%1: no connection within 2 s (is the server there, and the address right?)"))
            .arg(label_));
  }
  if (state_ == State::Settling) return afterSettling();
  if (address_.kind != LineAddress::Kind::Rfc2217) return;
  const std::int64_t now = clock_();
  session_.timeout(now);
  // The one note there is: DTR off was asked for and not answered.
  for (const std::string& note : session_.takeNotes()) {
    (void)note;
    const QString said = Say(QT_TRANSLATE_NOOP(
        "varnak::TcpLine", "%1: the server did not answer DTR off (it may not have that line)"));
    if (listener_) listener_->onNote(said.arg(label_).toStdString(), now);
  }
  if (session_.state() == Rfc2217Session::State::Failed) {
    if (session_.failure() == Rfc2217Session::Failure::NotRfc2217)
      return failWith(
          Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: the server does not speak RFC 2217 (try tcp://)"))
              .arg(label_));
    return failWith(Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: the server did not take %2"))
                        .arg(label_, SettingWords(session_.notTaken())));
  }
  armTimer();
}

void TcpLine::onReadyRead() {
  const QByteArray got = socket_.readAll();
  if (got.isEmpty()) return;
  const std::int64_t now = clock_();
  // A busy server says so in plain text at the start of the connection, then closes.
  if (greeting_.size() < kGreetingBytes) {
    greeting_.append(got.left(kGreetingBytes - greeting_.size()));
    if (SaysInUse(greeting_))
      return failWith(
          Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1 is in use by another client of the server"))
              .arg(label_));
  }
  Bytes data(got.begin(), got.end());
  if (state_ == State::Settling) {
    settled_.insert(settled_.end(), data.begin(), data.end());
    return;
  }
  onBytes(data, now);
}

void TcpLine::onBytes(Bytes data, std::int64_t now) {
  if (address_.kind == LineAddress::Kind::Rfc2217) {
    const Rfc2217Session::Output out = session_.receive(data, now);
    if (!out.send.empty()) send(out.send);
    data = out.data;
    if (session_.state() == Rfc2217Session::State::Failed) {
      const QString said =
          session_.answeredInstead().empty() ? QString() : SettingWords(session_.answeredInstead());
      return failWith(
          said.isEmpty()
              ? Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: the server did not take %2"))
                    .arg(label_, SettingWords(session_.notTaken()))
              : Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: the server did not take %2 (it set %3)"))
                    .arg(label_, SettingWords(session_.notTaken()), said));
    }
    if (state_ == State::Negotiating && session_.state() == Rfc2217Session::State::Ready) becomeReady();
    if (state_ != State::Closed) armTimer();
  }
  if (!data.empty() && listener_) listener_->onChunk(data, now);
}

void TcpLine::onDisconnected() {
  if (state_ == State::Closed) return;
  if (greeting_.size() < kGreetingBytes) greeting_.append(socket_.readAll().left(kGreetingBytes));
  if (SaysInUse(greeting_))
    return failWith(Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1 is in use by another client of the server"))
                        .arg(label_));
  if (SaysOpenFailure(greeting_)) {
    const QString said =
        QString::fromLatin1(greeting_.left(greeting_.indexOf('\r') < 0 ? 120 : greeting_.indexOf('\r')));
    return failWith(
        Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: the server cannot open its serial port (%2)"))
            .arg(label_, said));
  }
  failWith(Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: connection closed by the server")).arg(label_));
}

void TcpLine::onError(QAbstractSocket::SocketError error) {
  if (state_ == State::Closed) return;
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      return failWith(Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: connection refused")).arg(label_));
    case QAbstractSocket::HostNotFoundError:
      return failWith(Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: host not found")).arg(label_));
    case QAbstractSocket::RemoteHostClosedError:
      return onDisconnected();
    case QAbstractSocket::NetworkError:
      return failWith(Say(QT_TRANSLATE_NOOP("varnak::TcpLine", "%1: unreachable: %2"))
                          .arg(label_, socket_.errorString()));
    default:
      return failWith(QStringLiteral("%1: %2").arg(label_, socket_.errorString()));
  }
}

void TcpLine::failWith(const QString& problem) {
  close();
  tell(problem);
}

void TcpLine::tell(const QString& problem) {
  if (problem == problem_) return;
  problem_ = problem;
  if (listener_) listener_->onProblem(problem.toStdString(), clock_());
}

}  // namespace varnak
