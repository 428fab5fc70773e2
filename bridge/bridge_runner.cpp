#include "bridge/bridge_runner.h"

#include <unistd.h>

#include <QDateTime>
#include <chrono>
#include <cstdio>

#include "bridge/discovery.h"
#include "bridge/topics.h"
#include "link/decode.h"
#include "serial/local_port.h"
#include "timeline/local_time.h"

namespace varnak::bridge {

namespace {

std::string TimeOfDay() { return LocalIsoTime(QDateTime::currentMSecsSinceEpoch()); }

void Say(const std::string& line) { std::fprintf(stderr, "varnak bridge: %s\n", line.c_str()); }

bridge::BridgeSettings SettingsOf(const bridge::BridgeConfig& c, const std::vector<WatchEntry>& list,
                                  const std::string& label) {
  bridge::BridgeSettings s;
  s.prefix = c.topic;
  s.list = list;
  s.readOnly = c.readOnly;
  s.haDiscovery = c.haDiscovery;
  s.portLabel = label;
  return s;
}

// The broker's name for the bridge: one per process, so that a bridge killed
// outright and started again never takes over its old session.
std::string ClientId(const std::string& prefix) {
  return "varnak-" + bridge::NodeId(prefix) + "-" + std::to_string(::getpid());
}

}  // namespace

BridgeRunner::BridgeRunner(const bridge::BridgeConfig& config, const std::vector<WatchEntry>& list,
                           std::unique_ptr<BridgePort> port, const std::string& password)
    : config_(config),
      port_(std::move(port)),
      service_([this](const Job& job) { return link_.Submit(job, now()); },
               [this](JobId id) { return link_.Withdraw(id, now()); }, &list_,
               [this] { return list_.size(); }),
      link_(*port_->port),
      core_(SettingsOf(config, list, port_->label),
            [this](const Job& job) { return link_.Submit(job, now()); }) {
  if (!config.mqtt.empty())
    mqtt_ = std::make_unique<MqttLink>(config.broker, ClientId(config.topic), config.username, password,
                                       config.cafile, core_.lastWill());
  list_.replaceAll(list);
  list_.setActive(true);
  revisions_.assign(list_.size(), ~std::uint64_t{0});
  link_.setListSource(&service_);
  link_.addObserver(this);
  tick_.setInterval(200);
  connect(&tick_, &QTimer::timeout, this, [this] { handle([this] { link_.Timer1_Timer(now()); }); });
  deadline_.setSingleShot(true);
  deadline_.setTimerType(Qt::PreciseTimer);
  connect(&deadline_, &QTimer::timeout, this, [this] { handle([this] { link_.Timeout(now()); }); });
  // The port tells its chunks and problems to the link control; then the
  // deadline is armed and the topics brought up to date.
  link_.setAfterPortEvent([this] { handle([] {}); });
  if (!mqtt_) return;
  connect(mqtt_.get(), &MqttLink::connected, this, &BridgeRunner::onConnected);
  connect(mqtt_.get(), &MqttLink::disconnected, this, [this](const QString& why) {
    core_.disconnected();
    Say("lost the broker (" + why.toStdString() + "); trying again");
  });
  connect(mqtt_.get(), &MqttLink::attemptFailed, this,
          [](const QString& why) { Say(why.toStdString() + "; trying again"); });
  connect(mqtt_.get(), &MqttLink::message, this, &BridgeRunner::onMessage);
}

BridgeRunner::~BridgeRunner() { link_.removeObserver(this); }

std::int64_t BridgeRunner::now() const { return SteadyMs(); }

bool BridgeRunner::start(std::string* why) {
  started_ = now();
  handle([this] { link_.Form2_Load(port_->answer.toStdU32String(), now()); });
  tick_.start();
  if (!listen(why)) return false;
  return !mqtt_ || mqtt_->start(why);
}

void BridgeRunner::stop() {
  tick_.stop();
  deadline_.stop();
  share_.reset();
  modbus_.reset();
  core_.disconnected();  // its own offline, coming back, is not answered with online
  if (mqtt_) mqtt_->stop(core_.goingOffline(), 2000);
  port_->port->close();
}

void BridgeRunner::onLinkEvent(const LinkEvent& e) {
  if (!config_.trace) return;
  // Replies as the engine takes them: a beginning kept for the rest is traced once joined.
  const double ms = static_cast<double>(e.time - started_);
  if (e.kind == LinkEvent::Kind::Sent) trace(TraceLine(ms, "TX", e.bytes));
  if (e.kind == LinkEvent::Kind::Received && e.ruling != Ruling::KeptForTheRest)
    trace(TraceLine(ms, "RX", e.bytes));
}

void BridgeRunner::onJobEnded(const JobEnd& end) {
  service_.jobEnded(end);
  if (end.kind == ExchangeKind::Poll) {
    if (end.ok) outputs_ = static_cast<std::uint8_t>(end.value);
    return;
  }
  // A write's next job is only queued here; the handler that told this end arms
  // the deadline that starts it.
  if (end.cause == Cause::Master) apply(core_.jobEnded(end, TimeOfDay()));
}

void BridgeRunner::handle(const std::function<void()>& event) {
  event();
  if (const auto d = link_.nextDeadline()) {
    deadline_.start(static_cast<int>(std::max<std::int64_t>(0, *d - now())));
  } else {
    deadline_.stop();
  }
  sync();
}

void BridgeRunner::sync() {
  const std::int64_t t = now();
  if (outputs_) {
    const std::uint8_t byte = *outputs_;
    outputs_.reset();
    apply(core_.outputs(byte));
  }
  const LinkStatus status = link_.status(t);
  const std::string& problem = link_.portProblem();
  if (problem != portProblem_) {
    portProblem_ = problem;
    if (!problem.empty()) Say(problem);
  }
  const auto state = bridge::ControllerStateOf(!problem.empty(), status.lampsStale, t - started_);
  if (state != said_ && state != bridge::ControllerState::Unknown) {
    said_ = state;
    Say(std::string("controller: ") + bridge::ControllerText(state));
  }
  apply(core_.controller(state));
  for (std::size_t i = 0; i < list_.size() && i < revisions_.size(); ++i) {
    const WatchRow& row = list_.row(i);
    if (row.revision == revisions_[i]) continue;
    revisions_[i] = row.revision;
    apply(core_.rowChanged(row.entry.reg, list_.valueText(i)));
  }
}

void BridgeRunner::apply(const bridge::Actions& actions) {
  if (!mqtt_) return;
  for (const bridge::Message& m : actions.publish) mqtt_->publish(m);
}

void BridgeRunner::report(const share::MasterEvent& e) {
  if (config_.trace) {
    std::string line = e.master + " " + e.command + ": " + e.outcome;
    if (!e.why.empty()) line += " (" + e.why + ")";
    if (!e.value.empty()) line += " " + e.value;
    char ms[32];
    std::snprintf(ms, sizeof ms, "%9.3f ", static_cast<double>(now() - started_));
    trace(ms + line);
  }
  apply(core_.masterEvent(e, TimeOfDay()));
}

void BridgeRunner::trace(const std::string& line) const { std::fprintf(stderr, "%s\n", line.c_str()); }

bool BridgeRunner::listen(std::string* why) {
  // Every request of a master may submit a job: the deadline that starts it is armed.
  const auto lineChanged = [this] { handle([] {}); };
  const auto report = [this](const share::MasterEvent& e) { this->report(e); };
  if (!config_.share.empty()) {
    share_ = std::make_unique<share::ShareServer>(
        service_, [this] { return now(); }, lineChanged, report, Say);
    share_->setReadOnly(config_.readOnly);
    if (!share_->listen(config_.share, why)) return false;
    connect(share_.get(), &share::ShareServer::mastersChanged, this,
            [this](int n) { apply(core_.masters(n)); });
    apply(core_.masters(0));
    Say("sharing the line at " + config_.share);
  }
  if (!config_.modbus.empty()) {
    modbus_ = std::make_unique<modbus::ModbusServer>(
        service_, config_.maxAgeMs, config_.readOnly, [this] { return now(); }, lineChanged, report, Say);
    if (!modbus_->listen(config_.modbus, why)) return false;
    Say("serving Modbus TCP at " + config_.modbus);
  }
  return true;
}

void BridgeRunner::onConnected() {
  Say("connected to " + config_.mqtt);
  for (const std::string& s : core_.subscriptions())
    mqtt_->subscribe(s, s == bridge::SetFilter(config_.topic));
  apply(core_.connected());
}

void BridgeRunner::onMessage(const QString& topic, const QByteArray& payload, bool retained) {
  // A write submits its first job: the deadline is armed for it.
  handle([&] { apply(core_.message(topic.toStdString(), payload.toStdString(), retained, TimeOfDay())); });
}

}  // namespace varnak::bridge
