// The Modbus TCP server of `varnak bridge --modbus`: clients' connections taken
// on the event loop, never blocking it. Per client:
//   bytes come in -> CutFrame finds a whole frame -> PlanRequest -> an exception
//   at once, or the plan's line requests asked of the line service -> their
//   answers gathered (Answers) -> the reply sent by libmodbus on the client's
//   socket -> the next frame.
// One request per client is served at a time; what the client sends meanwhile
// waits in its socket. libmodbus only builds and sends replies: it never reads,
// so its blocking receive never runs.
#pragma once

#include <QObject>
#include <QTcpServer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "modbus/modbus_replies.h"
#include "share/line_service.h"
#include "share/master_event.h"

namespace varnak::modbus {

class ModbusServer : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxClients = 32;
  // A frame begun must be whole this long after: a client that stops halfway
  // holds nothing but its connection, and not for long.
  static constexpr int kFrameMs = 5000;

  // `maxAgeMs`: a register read no longer ago than this is answered from the
  // image. `lineChanged` is called after every ask, forget and keepFresh, for the
  // engine to take the new jobs. `report`: one event per request. `say`: a line
  // for stderr, about connections (refused, dropped).
  ModbusServer(share::LineService& line, std::int64_t maxAgeMs, bool readOnly,
               std::function<std::int64_t()> now, std::function<void()> lineChanged,
               std::function<void(const share::MasterEvent&)> report,
               std::function<void(const std::string&)> say, QObject* parent = nullptr);
  ~ModbusServer() override;

  // Listens on "tcp://HOST:PORT"; false with `why` when it cannot.
  bool listen(const std::string& address, std::string* why);
  // The port listened on.
  std::uint16_t port() const;
  int clientCount() const { return static_cast<int>(clients_.size()); }

 private:
  struct Client;
  void onNewConnection();
  // Serves the client's whole frames until one must wait for the line.
  void pump(std::uint64_t key);
  // False when the client was dropped.
  bool serve(Client& client, const std::vector<std::uint8_t>& frame);
  void onAnswer(std::uint64_t key, std::uint64_t serial, std::size_t index, const share::LineAnswer& answer);
  // Sends the reply of the request served; false when it could not be sent.
  bool finish(Client& client);
  // Closes the connection and forgets what it waits for; `why` said when not empty.
  void drop(std::uint64_t key, const std::string& why);

  share::LineService& line_;
  std::int64_t maxAgeMs_;
  bool readOnly_;
  std::function<std::int64_t()> now_;
  std::function<void()> lineChanged_;
  std::function<void(const share::MasterEvent&)> report_;
  std::function<void(const std::string&)> say_;
  QTcpServer server_;
  Replies replies_;
  std::map<std::uint64_t, std::unique_ptr<Client>> clients_;
  std::uint64_t lastKey_ = 0;
  std::uint64_t lastSerial_ = 0;
  // The line service's answers hold this weakly: none reaches a server gone.
  std::shared_ptr<ModbusServer*> self_;
};

}  // namespace varnak::modbus
