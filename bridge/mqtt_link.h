// The broker connection on libmosquitto, for the bridge's Qt thread.
//
//   Qt thread: publish(), subscribe(), stop()  ──> libmosquitto (thread-safe in threaded mode)
//   network thread: connect, mosquitto_loop, the attempts' timing ──> signals, queued to the Qt thread
//
// The network thread alone connects and runs the loop, so that a broker that
// is slow to answer never holds up the line; its callbacks never touch the
// bridge, they only post signals to the object's own (Qt) thread. Attempts are
// timed by Reconnect: at once, then half a second after a loss, doubling to five
// seconds apart. Nothing is published while disconnected and nothing is
// queued here: the caller republishes its state at connected().
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "bridge/bridge_config.h"
#include "bridge/bridge_core.h"

struct mosquitto;
struct mosquitto_message;

namespace varnak::bridge {

class MqttLink : public QObject {
  Q_OBJECT

 public:
  // `password` is the password itself; `will` is set before every connect.
  MqttLink(const bridge::BrokerAddress& broker, const std::string& clientId, const std::string& username,
           const std::string& password, const std::string& cafile, const bridge::Message& will,
           QObject* parent = nullptr);
  ~MqttLink() override;

  // Starts the network thread; false with `why` when libmosquitto refuses the settings.
  bool start(std::string* why);
  // QoS 0: a message the connection loses is not kept; the caller's state goes out again at connected().
  void publish(const bridge::Message& m);
  // `keepRetainFlag`: a retained message published while subscribed still arrives
  // marked retained (MQTT 5's retain-as-published; a 3.1.1 broker marks only
  // those it kept from before the subscription).
  void subscribe(const std::string& filter, bool keepRetainFlag);
  // Publishes `last` (at least once), waits up to `waitMs` for the broker to
  // take it, disconnects cleanly and ends the network thread.
  void stop(const bridge::Message& last, int waitMs);

 signals:
  void connected();
  void disconnected(const QString& why);
  // An attempt failed (the broker absent, refused); said once until it changes.
  void attemptFailed(const QString& why);
  void message(const QString& topic, const QByteArray& payload, bool retained);

 private:
  static void OnConnect(mosquitto*, void* self, int rc);
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* m);
  static void OnPublish(mosquitto*, void* self, int mid);
  void run();
  // Sleeps the network thread until `ms` pass or stop() asks it to end.
  void nap(std::int64_t ms);
  void failedAttempt(const std::string& why);

  bridge::BrokerAddress broker_;
  std::string username_, password_, cafile_;
  bridge::Message will_;
  mosquitto* mosq_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> up_{false};  // the broker acknowledged the connection
  std::atomic<bool> v5_{true};   // MQTT 5 until a broker refuses it; then 3.1.1
  std::mutex mutex_;
  std::condition_variable wake_;
  int ackedMid_ = -1;        // under mutex_
  std::string lastFailure_;  // network thread only
};

}  // namespace varnak::bridge
