#include "modbus/modbus_server.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>
#include <QTimer>
#include <optional>

#include "modbus/modbus_answers.h"
#include "modbus/modbus_requests.h"
#include "net/address.h"
#include "share/share_server.h"

namespace varnak::modbus {
namespace {

// Enough for a few requests sent ahead; more waits in the kernel's buffers.
constexpr qint64 kReadBufferBytes = 4096;

}  // namespace

struct ModbusServer::Client {
  // The request being served: its frame, plan and the line's answers so far.
  struct Serving {
    Serving(std::vector<std::uint8_t> f, Plan p) : frame(std::move(f)), plan(std::move(p)), answers(plan) {}
    std::uint64_t serial = 0;  // tells its answers from a request's before it
    std::vector<std::uint8_t> frame;
    Plan plan;
    Answers answers;
    std::vector<share::LineService::RequestId> ids;  // by index, as asked
    bool settling = false;                           // its reply is queued to go
  };
  std::uint64_t key = 0;
  QTcpSocket* socket = nullptr;
  std::string name;
  std::vector<std::uint8_t> buffer;  // bytes taken from the socket, not yet a whole frame
  QTimer* frameTimer = nullptr;      // the socket's child: both go together
  std::optional<Serving> serving;
};

ModbusServer::ModbusServer(share::LineService& line, std::int64_t maxAgeMs, bool readOnly,
                           std::function<std::int64_t()> now, std::function<void()> lineChanged,
                           std::function<void(const share::MasterEvent&)> report,
                           std::function<void(const std::string&)> say, QObject* parent)
    : QObject(parent),
      line_(line),
      maxAgeMs_(maxAgeMs),
      readOnly_(readOnly),
      now_(std::move(now)),
      lineChanged_(std::move(lineChanged)),
      report_(std::move(report)),
      say_(std::move(say)),
      self_(std::make_shared<ModbusServer*>(this)) {
  connect(&server_, &QTcpServer::newConnection, this, &ModbusServer::onNewConnection);
}

ModbusServer::~ModbusServer() {
  *self_ = nullptr;
  // The line service outlives the server; its owner is going too, and is not
  // called back.
  for (auto& [key, client] : clients_) {
    // The sockets go with server_, after clients_: they must not call back.
    client->socket->disconnect(this);
    client->frameTimer->disconnect(this);
    if (!client->serving) continue;
    for (std::size_t i : client->serving->answers.missing()) {
      if (i < client->serving->ids.size()) line_.forget(client->serving->ids[i]);
    }
  }
}

bool ModbusServer::listen(const std::string& address, std::string* why) {
  std::string ignored;
  return share::ListenAt(server_, address, why ? why : &ignored);
}

std::uint16_t ModbusServer::port() const { return server_.serverPort(); }

void ModbusServer::onNewConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    if (static_cast<int>(clients_.size()) >= kMaxClients) {
      say_("modbus " + share::MasterName(socket->peerAddress(), socket->peerPort()) + ": refused, already " +
           std::to_string(kMaxClients) + " clients");
      socket->abort();
      socket->deleteLater();
      continue;
    }
    const std::uint64_t key = ++lastKey_;
    auto client = std::make_unique<Client>();
    client->key = key;
    client->socket = socket;
    client->name = share::MasterName(socket->peerAddress(), socket->peerPort());
    socket->setReadBufferSize(kReadBufferBytes);
    client->frameTimer = new QTimer(socket);
    client->frameTimer->setSingleShot(true);
    client->frameTimer->setInterval(kFrameMs);
    connect(client->frameTimer, &QTimer::timeout, this, [this, key] {
      drop(key,
           "a frame begun and not finished within " + std::to_string(kFrameMs / 1000) + " s: disconnected");
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, key] { pump(key); });
    connect(socket, &QTcpSocket::disconnected, this, [this, key] { drop(key, ""); });
    clients_[key] = std::move(client);
    pump(key);
  }
}

void ModbusServer::pump(std::uint64_t key) {
  auto it = clients_.find(key);
  if (it == clients_.end()) return;
  Client& client = *it->second;
  while (!client.serving) {
    const QByteArray bytes = client.socket->readAll();
    client.buffer.insert(client.buffer.end(), bytes.begin(), bytes.end());
    const Cut cut = CutFrame(client.buffer.data(), client.buffer.size());
    if (cut.kind == Cut::Kind::NotModbusTcp) {
      drop(key, "not a Modbus TCP frame: disconnected");
      return;
    }
    if (cut.kind == Cut::Kind::Partial) {
      if (client.buffer.empty()) {
        client.frameTimer->stop();
      } else if (!client.frameTimer->isActive()) {
        client.frameTimer->start();
      }
      return;
    }
    client.frameTimer->stop();
    const std::vector<std::uint8_t> frame(client.buffer.begin(), client.buffer.begin() + cut.length);
    client.buffer.erase(client.buffer.begin(), client.buffer.begin() + cut.length);
    if (!serve(client, frame)) {
      drop(key, "reply not sent: disconnected");
      return;
    }
  }
}

bool ModbusServer::serve(Client& client, const std::vector<std::uint8_t>& frame) {
  const int fd = static_cast<int>(client.socket->socketDescriptor());
  Plan plan = PlanRequest(frame.data(), frame.size(), readOnly_);
  if (plan.kind == Plan::Kind::Reject) {
    report_(Report(plan, nullptr, client.name));
    return replies_.sendException(fd, frame.data(), frame.size(), plan.exception);
  }
  const auto requests = LineRequests(plan, maxAgeMs_, client.name);
  client.serving.emplace(frame, std::move(plan));
  Client::Serving& s = *client.serving;
  s.serial = ++lastSerial_;
  const std::int64_t now = now_();
  const std::uint64_t key = client.key;
  const std::weak_ptr<ModbusServer*> self = self_;
  for (std::size_t i = 0; i < requests.size() && !s.answers.done(); ++i) {
    share::LineRequest request = requests[i];
    if (request.kind == share::LineRequest::Kind::Read) line_.keepFresh(request.reg, now);
    if (request.kind == share::LineRequest::Kind::Write && i > 0) request.after = s.ids[i - 1];
    share::LineService::RequestId id = 0;
    const auto answer = line_.ask(
        request, now,
        [self, key, serial = s.serial, i](share::LineService::RequestId, const share::LineAnswer& a) {
          if (auto server = self.lock(); server && *server) {
            (*server)->onAnswer(key, serial, i, a);
          }
        },
        &id);
    s.ids.push_back(id);
    if (answer) s.answers.take(i, *answer);
  }
  lineChanged_();
  return !s.answers.done() || finish(client);
}

void ModbusServer::onAnswer(std::uint64_t key, std::uint64_t serial, std::size_t index,
                            const share::LineAnswer& answer) {
  auto it = clients_.find(key);
  if (it == clients_.end()) return;
  Client& client = *it->second;
  if (!client.serving || client.serving->serial != serial) return;
  client.serving->answers.take(index, answer);
  if (!client.serving->answers.done() || client.serving->settling) return;
  client.serving->settling = true;
  // Called from the line service's own bookkeeping: the reply, the forgetting
  // of the rest and the next request go once it has returned.
  QMetaObject::invokeMethod(
      this,
      [this, key, serial] {
        auto found = clients_.find(key);
        if (found == clients_.end()) return;
        Client& c = *found->second;
        if (!c.serving || c.serving->serial != serial) return;
        if (!finish(c)) {
          drop(key, "reply not sent: disconnected");
          return;
        }
        pump(key);
      },
      Qt::QueuedConnection);
}

bool ModbusServer::finish(Client& client) {
  Client::Serving& s = *client.serving;
  const int fd = static_cast<int>(client.socket->socketDescriptor());
  const bool sent = replies_.send(fd, s.frame.data(), s.frame.size(), s.plan, s.answers);
  report_(Report(s.plan, &s.answers, client.name));
  bool forgot = false;
  for (std::size_t i : s.answers.missing()) {
    if (i < s.ids.size()) {
      line_.forget(s.ids[i]);
      forgot = true;
    }
  }
  client.serving.reset();
  if (forgot) lineChanged_();
  return sent;
}

void ModbusServer::drop(std::uint64_t key, const std::string& why) {
  auto it = clients_.find(key);
  if (it == clients_.end()) return;
  std::unique_ptr<Client> client = std::move(it->second);
  clients_.erase(it);
  if (!why.empty()) say_("modbus " + client->name + ": " + why);
  if (client->serving) {
    share::MasterEvent event = Report(client->serving->plan, nullptr, client->name);
    event.outcome = "ignored";
    event.why = "the client went away";
    report_(event);
    for (std::size_t i : client->serving->answers.missing()) {
      if (i < client->serving->ids.size()) line_.forget(client->serving->ids[i]);
    }
    lineChanged_();
  }
  client->frameTimer->stop();
  client->frameTimer->disconnect(this);
  client->socket->disconnect(this);
  client->socket->abort();
  client->socket->deleteLater();
}

}  // namespace varnak::modbus
