// The bridge's shell: the link control driven headless on its line, as the
// window drives it (the 200 ms tick, the port's receive events, a single-shot
// timer at the link control's deadline), the register list read always, and
// whichever faces it was given: the broker connection, whose every change goes
// through BridgeCore and whose messages are sent as they come; the masters
// sharing the line over TCP; the Modbus TCP server. The network masters ask
// the line through one LineService.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

#include "bridge/bridge_config.h"
#include "bridge/bridge_core.h"
#include "bridge/bridge_port.h"
#include "bridge/mqtt_link.h"
#include "control/link_control.h"
#include "modbus/modbus_server.h"
#include "share/line_service.h"
#include "share/master_event.h"
#include "share/share_server.h"
#include "watch/watch_list.h"

namespace varnak::bridge {

class BridgeRunner : public QObject, public LinkObserver {
  Q_OBJECT

 public:
  BridgeRunner(const bridge::BridgeConfig& config, const std::vector<WatchEntry>& list,
               std::unique_ptr<BridgePort> port, const std::string& password);
  ~BridgeRunner() override;

  // Starts the line and the broker connection; false with `why` when the client cannot be made.
  bool start(std::string* why);
  // Publishes offline, disconnects cleanly, releases the line.
  void stop();

  void onLinkEvent(const LinkEvent& e) override;
  void onJobEnded(const JobEnd& end) override;

 private:
  std::int64_t now() const;
  // Runs a handler of the link control, re-arms its deadline and publishes what changed.
  void handle(const std::function<void()>& event);
  void sync();
  void apply(const bridge::Actions& actions);
  void onConnected();
  void onMessage(const QString& topic, const QByteArray& payload, bool retained);
  // A network master's request ended: on the trace and PREFIX/events.
  void report(const share::MasterEvent& e);
  void trace(const std::string& line) const;
  // The network faces, listening; false with `why` when one cannot listen.
  bool listen(std::string* why);

  bridge::BridgeConfig config_;
  std::unique_ptr<BridgePort> port_;
  WatchList list_;              // before the link control, which reads it, so that it outlives it
  share::LineService service_;  // the list's reads and the network masters' requests
  LinkControl link_;
  bridge::BridgeCore core_;
  std::unique_ptr<MqttLink> mqtt_;                // none without --mqtt
  std::unique_ptr<share::ShareServer> share_;     // none without --share
  std::unique_ptr<modbus::ModbusServer> modbus_;  // none without --modbus
  QTimer tick_;
  QTimer deadline_;
  std::string portProblem_;  // the port's problem as last said on stderr
  std::int64_t started_ = 0;
  std::optional<std::uint8_t> outputs_;   // read by a poll, not yet published
  std::vector<std::uint64_t> revisions_;  // per row, the revision last looked at
  bridge::ControllerState said_ = bridge::ControllerState::Unknown;
};

}  // namespace varnak::bridge
