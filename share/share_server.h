// `varnak bridge --share tcp://HOST:PORT`: the bridge listens there, and every
// connection is a master that speaks to the bridge as to the controller. Each
// master has a MasterSession; this shell only moves its bytes, arms its timer
// and tells the line service's owner when the line was asked something.
//
// The server must go before the LineService it was given: its sessions forget
// their waiting requests as they go.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "share/line_service.h"
#include "share/master_event.h"

namespace varnak::share {

class MasterSession;

class ShareServer : public QObject {
  Q_OBJECT

 public:
  // More connections than this are closed as they come.
  static constexpr int kMaxMasters = 16;
  static constexpr qint64 kReadBufferBytes = 4096;

  // `now`: ms on the line's clock. `lineChanged`: called after every ask and
  // forget, so that the engine's deadline is armed again. `report`: every
  // master's request and how it ended. `say`: a line for stderr.
  ShareServer(share::LineService& line, std::function<std::int64_t()> now, std::function<void()> lineChanged,
              std::function<void(const share::MasterEvent&)> report,
              std::function<void(const std::string&)> say, QObject* parent = nullptr);
  ~ShareServer() override;

  // Listens at "tcp://HOST:PORT" (HOST: IPv4, [IPv6], a host name; 0.0.0.0 for
  // every interface); false with `why` when the address is not one or is taken.
  bool listen(const std::string& address, std::string* why);
  int masters() const { return static_cast<int>(masters_.size()); }
  // Write headers are answered with NAK: the bridge takes no writes.
  void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
  // The port listened on (the one given, or the one chosen for port 0).
  int port() const;

 signals:
  void mastersChanged(int count);

 private:
  struct Master;
  void accept();
  void read(Master* m);
  void arm(Master* m);
  void remove(Master* m);

  share::LineService& line_;
  std::function<std::int64_t()> now_;
  std::function<void()> lineChanged_;
  std::function<void(const share::MasterEvent&)> report_;
  std::function<void(const std::string&)> say_;
  QTcpServer server_;
  bool readOnly_ = false;
  std::vector<std::unique_ptr<Master>> masters_;
};

// "10.0.0.7:50112", "[::1]:41000": a master as the trace and the events name it.
std::string MasterName(const QHostAddress& address, quint16 port);

// `server` listening at "tcp://HOST:PORT" (HOST: IPv4, [IPv6] where [::] takes
// IPv4 too, a host name, 0.0.0.0 for every interface); false with `why`.
bool ListenAt(QTcpServer& server, const std::string& address, std::string* why);

}  // namespace varnak::share
