#include "bridge/mqtt_link.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "bridge/reconnect.h"
#include "line/steady_clock.h"

namespace varnak::bridge {

namespace {

// Seconds between the client's pings while idle; a broker that went silent is noticed within 1.5 times this.
constexpr int kKeepAliveS = 10;
// How long one loop waits for traffic, so that stop() is seen promptly.
constexpr int kLoopSliceMs = 100;
// An attempt that the broker has not acknowledged by then is given up (a host that drops the packets).
constexpr std::int64_t kConnectWaitMs = 5000;

std::string ErrorText(int rc) {
  if (rc == MOSQ_ERR_ERRNO) return std::strerror(errno);
  return mosquitto_strerror(rc);
}

}  // namespace

MqttLink::MqttLink(const bridge::BrokerAddress& broker, const std::string& clientId,
                   const std::string& username, const std::string& password, const std::string& cafile,
                   const bridge::Message& will, QObject* parent)
    : QObject(parent),
      broker_(broker),
      username_(username),
      password_(password),
      cafile_(cafile),
      will_(will) {
  mosquitto_lib_init();
  mosq_ = mosquitto_new(clientId.c_str(), true, this);
}

MqttLink::~MqttLink() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (mosq_) mosquitto_disconnect(mosq_);
    thread_.join();
  }
  if (mosq_) mosquitto_destroy(mosq_);
  mosquitto_lib_cleanup();
}

bool MqttLink::start(std::string* why) {
  if (!mosq_) {
    *why = "cannot make an MQTT client: " + std::string(std::strerror(errno));
    return false;
  }
  mosquitto_threaded_set(mosq_, true);
  mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
  mosquitto_connect_callback_set(mosq_, &MqttLink::OnConnect);
  mosquitto_message_callback_set(mosq_, &MqttLink::OnMessage);
  mosquitto_publish_callback_set(mosq_, &MqttLink::OnPublish);
  int rc = mosquitto_will_set(mosq_, will_.topic.c_str(), static_cast<int>(will_.payload.size()),
                              will_.payload.data(), 1, will_.retain);
  if (rc == MOSQ_ERR_SUCCESS && !username_.empty())
    rc = mosquitto_username_pw_set(mosq_, username_.c_str(), password_.empty() ? nullptr : password_.c_str());
  if (rc == MOSQ_ERR_SUCCESS && broker_.tls)
    rc = mosquitto_tls_set(mosq_, cafile_.empty() ? nullptr : cafile_.c_str(),
                           cafile_.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
  if (rc != MOSQ_ERR_SUCCESS) {
    *why = "the MQTT client refused its settings: " + ErrorText(rc);
    return false;
  }
  thread_ = std::thread([this] { run(); });
  return true;
}

void MqttLink::publish(const bridge::Message& m) {
  // Lost a moment ago, before the Qt thread heard of it: dropped, as the core would drop it.
  if (!up_) return;
  mosquitto_publish(mosq_, nullptr, m.topic.c_str(), static_cast<int>(m.payload.size()), m.payload.data(), 0,
                    m.retain);
}

void MqttLink::subscribe(const std::string& filter, bool keepRetainFlag) {
  if (!up_) return;
  if (v5_ && keepRetainFlag) {
    mosquitto_subscribe_v5(mosq_, nullptr, filter.c_str(), 0, MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr);
  } else {
    mosquitto_subscribe(mosq_, nullptr, filter.c_str(), 0);
  }
}

void MqttLink::stop(const bridge::Message& last, int waitMs) {
  if (!thread_.joinable()) return;
  if (up_) {
    int mid = 0;
    if (mosquitto_publish(mosq_, &mid, last.topic.c_str(), static_cast<int>(last.payload.size()),
                          last.payload.data(), 1, last.retain) == MOSQ_ERR_SUCCESS) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return ackedMid_ == mid || !up_; });
    }
  }
  {
    // Under the lock, so that a nap about to begin sees it.
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  mosquitto_disconnect(mosq_);
  thread_.join();
}

void MqttLink::OnConnect(mosquitto*, void* self, int rc) {
  auto* link = static_cast<MqttLink*>(self);
  if (link->v5_ && (rc == CONNACK_REFUSED_PROTOCOL_VERSION || rc == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION)) {
    // A 3.1.1 broker: the next attempt speaks its version.
    link->v5_ = false;
    mosquitto_int_option(link->mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    return;
  }
  if (rc != 0) {
    // The broker answered and refused (a bad password, not authorised): it closes the connection next.
    link->failedAttempt(std::string("the broker refused the connection: ") + mosquitto_connack_string(rc));
    return;
  }
  link->up_ = true;
  link->lastFailure_.clear();
  QMetaObject::invokeMethod(
      link, [link] { emit link->connected(); }, Qt::QueuedConnection);
}

void MqttLink::OnMessage(mosquitto*, void* self, const mosquitto_message* m) {
  auto* link = static_cast<MqttLink*>(self);
  const QString topic = QString::fromUtf8(m->topic);
  const QByteArray payload(static_cast<const char*>(m->payload), m->payloadlen);
  const bool retained = m->retain;
  QMetaObject::invokeMethod(
      link, [link, topic, payload, retained] { emit link->message(topic, payload, retained); },
      Qt::QueuedConnection);
}

void MqttLink::OnPublish(mosquitto*, void* self, int mid) {
  auto* link = static_cast<MqttLink*>(self);
  {
    std::lock_guard<std::mutex> lock(link->mutex_);
    link->ackedMid_ = mid;
  }
  link->wake_.notify_all();
}

void MqttLink::failedAttempt(const std::string& why) {
  if (why == lastFailure_) return;
  lastFailure_ = why;
  const QString text = QString::fromStdString(why);
  QMetaObject::invokeMethod(
      this, [this, text] { emit attemptFailed(text); }, Qt::QueuedConnection);
}

void MqttLink::nap(std::int64_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

void MqttLink::run() {
  bridge::Reconnect timing;
  std::int64_t nextAttempt = SteadyMs();
  std::int64_t attemptAt = 0;
  bool socketUp = false;
  const auto attemptFailed = [&](const std::string& why) {
    socketUp = false;
    failedAttempt(why);
    nextAttempt = timing.failed(SteadyMs());
  };
  while (!stopping_) {
    if (!socketUp) {
      const std::int64_t wait = nextAttempt - SteadyMs();
      if (wait > 0) {
        nap(wait);
        continue;
      }
      // Without waiting for the TCP handshake (the loop completes it), so that stop() is never held up by
      // a broker that does not answer; only the name's lookup waits.
      attemptAt = SteadyMs();
      const int rc = mosquitto_connect_async(mosq_, broker_.host.c_str(), broker_.port, kKeepAliveS);
      if (rc != MOSQ_ERR_SUCCESS) {
        attemptFailed("cannot reach the broker: " + ErrorText(rc));
        continue;
      }
      socketUp = true;
      continue;
    }
    const int rc = mosquitto_loop(mosq_, kLoopSliceMs, 1);
    if (rc == MOSQ_ERR_SUCCESS) {
      if (up_) {
        timing.connected(SteadyMs());
      } else if (SteadyMs() - attemptAt > kConnectWaitMs) {
        mosquitto_disconnect(mosq_);
        attemptFailed("no answer from the broker within " + std::to_string(kConnectWaitMs / 1000) + " s");
      }
      continue;
    }
    if (stopping_) break;
    if (!up_) {
      attemptFailed("cannot reach the broker: " + ErrorText(rc));
      continue;
    }
    socketUp = false;
    up_ = false;
    wake_.notify_all();
    const QString why = QString::fromStdString(ErrorText(rc));
    QMetaObject::invokeMethod(
        this, [this, why] { emit disconnected(why); }, Qt::QueuedConnection);
    nextAttempt = timing.failed(SteadyMs());
  }
  up_ = false;
}

}  // namespace varnak::bridge
