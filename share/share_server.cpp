#include "share/share_server.h"

#include <QHostInfo>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

#include "net/address.h"
#include "share/master_session.h"

namespace varnak::share {

struct ShareServer::Master {
  QTcpSocket* socket = nullptr;  // deleted later, once it has left
  QTimer timer;                  // at the session's next deadline
  std::unique_ptr<MasterSession> session;
};

std::string MasterName(const QHostAddress& address, quint16 port) {
  bool v4 = false;
  const quint32 ip = address.toIPv4Address(&v4);  // also an IPv4-mapped IPv6 address
  const std::string host =
      v4 ? QHostAddress(ip).toString().toStdString() : "[" + address.toString().toStdString() + "]";
  return host + ":" + std::to_string(port);
}

ShareServer::ShareServer(share::LineService& line, std::function<std::int64_t()> now,
                         std::function<void()> lineChanged,
                         std::function<void(const share::MasterEvent&)> report,
                         std::function<void(const std::string&)> say, QObject* parent)
    : QObject(parent),
      line_(line),
      now_(std::move(now)),
      lineChanged_(std::move(lineChanged)),
      report_(std::move(report)),
      say_(std::move(say)) {
  connect(&server_, &QTcpServer::newConnection, this, &ShareServer::accept);
}

ShareServer::~ShareServer() {
  // The bridge is going: its sessions forget their requests, and nobody need re-arm anything.
  lineChanged_ = nullptr;
  for (auto& m : masters_) m->socket->disconnect(this);
  masters_.clear();
}

bool ListenAt(QTcpServer& server, const std::string& address, std::string* why) {
  std::string error;
  const auto a = ParseLineAddress(address, &error);
  if (!a || a->kind != LineAddress::Kind::RawTcp) {
    *why = a ? address + ": not tcp://HOST:PORT" : error;
    return false;
  }
  QHostAddress host;
  if (!host.setAddress(QString::fromStdString(a->host))) {
    const QHostInfo info = QHostInfo::fromName(QString::fromStdString(a->host));
    const auto addresses = info.addresses();
    if (addresses.isEmpty()) {
      *why = address + ": " + info.errorString().toStdString();
      return false;
    }
    const auto v4 = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& h) {
      return h.protocol() == QAbstractSocket::IPv4Protocol;
    });
    host = v4 != addresses.end() ? *v4 : addresses.first();
  }
  // [::] is every interface, IPv4 ones too, as a listener on Linux takes it.
  if (host == QHostAddress(QHostAddress::AnyIPv6)) host = QHostAddress(QHostAddress::Any);
  if (!server.listen(host, static_cast<quint16>(a->port))) {
    *why = address + ": " + server.errorString().toStdString();
    return false;
  }
  return true;
}

bool ShareServer::listen(const std::string& address, std::string* why) {
  return ListenAt(server_, address, why);
}

int ShareServer::port() const { return server_.serverPort(); }

void ShareServer::accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    const std::string name = MasterName(socket->peerAddress(), socket->peerPort());
    if (masters() >= kMaxMasters) {
      say_("master " + name + " refused: " + std::to_string(kMaxMasters) + " masters share the line already");
      socket->abort();
      socket->deleteLater();
      continue;
    }
    // A master waits for every acknowledgement before its next frame.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    auto m = std::make_unique<Master>();
    Master* raw = m.get();
    m->socket = socket;
    m->timer.setSingleShot(true);
    m->timer.setTimerType(Qt::PreciseTimer);
    LineAsker asker{[this](const share::LineRequest& request, std::int64_t now,
                           share::LineService::Answer answer, share::LineService::RequestId* id) {
                      auto a = line_.ask(request, now, std::move(answer), id);
                      if (lineChanged_) lineChanged_();
                      return a;
                    },
                    [this](share::LineService::RequestId id) {
                      line_.forget(id);
                      if (lineChanged_) lineChanged_();
                    }};
    MasterSession::Hooks hooks{[socket](const Bytes& bytes) {
                                 socket->write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<qint64>(bytes.size()));
                               },
                               [this](const share::MasterEvent& e) {
                                 if (report_) report_(e);
                               }};
    m->session = std::make_unique<MasterSession>(name, std::move(asker), std::move(hooks));
    m->session->setReadOnly(readOnly_);
    // A master's frames are a few bytes: what floods in is taken a bounded piece at a time.
    socket->setReadBufferSize(kReadBufferBytes);
    connect(socket, &QTcpSocket::readyRead, this, [this, raw] { read(raw); });
    connect(socket, &QTcpSocket::disconnected, this, [this, raw] { remove(raw); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, raw] {
      if (raw->socket->state() == QAbstractSocket::UnconnectedState) remove(raw);
    });
    connect(&m->timer, &QTimer::timeout, this, [this, raw] {
      raw->session->timeout(now_());
      arm(raw);
    });
    masters_.push_back(std::move(m));
    say_("master " + name + " joined");
    emit mastersChanged(masters());
    // Bytes that came with the connection.
    if (socket->bytesAvailable() > 0) read(raw);
  }
}

void ShareServer::read(Master* m) {
  // Qt stops reading the socket when its buffer is full; what is left comes in the next readyRead.
  const QByteArray data = m->socket->readAll();
  m->session->push(Bytes(data.begin(), data.end()), now_());
  arm(m);
}

void ShareServer::arm(Master* m) {
  const auto at = m->session->nextDeadline();
  if (!at) {
    m->timer.stop();
    return;
  }
  m->timer.start(static_cast<int>(std::max<std::int64_t>(0, *at - now_())));
}

void ShareServer::remove(Master* m) {
  const auto it = std::find_if(masters_.begin(), masters_.end(), [m](const auto& x) { return x.get() == m; });
  if (it == masters_.end()) return;
  // A request still waiting is forgotten: a write whose data block had not come is never made.
  m->session->leave();
  say_("master " + m->session->master() + " left");
  m->socket->disconnect(this);
  m->socket->deleteLater();
  masters_.erase(it);
  emit mastersChanged(masters());
}

}  // namespace varnak::share
