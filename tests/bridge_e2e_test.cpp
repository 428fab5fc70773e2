// `varnak bridge` end to end: a real Mosquitto on a free local port, the paced
// simulator on a pty, the broker's own clients as the consumers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "bridge/discovery.h"
#include "bridge_process.h"
#include "broker_process.h"
#include "sim_process.h"

namespace varnak::testing {
namespace {

class Bridge : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(broker_.start()) << broker_.why();
    ASSERT_FALSE(sim_.device().isEmpty());
    sim_.command("set R1000 0007");
    sim_.command("set R1001 1234");
    list_ = dir_.filePath(QStringLiteral("list.csv"));
    QFile f(list_);
    f.open(QIODevice::WriteOnly);
    f.write("register,name,format\nR1000,speed,unsigned\nR1001,,hex\nR1002,level,signed\n");
  }
  QStringList args(const QStringList& more = {}) const {
    return QStringList{"--port", sim_.device(), "--mqtt", broker_.url(), "--topic", "t/p", "--watch", list_} +
           more;
  }
  // Waits until the broker holds `topic` = `payload`, retained.
  bool retained(const QString& topic, const QString& payload, int ms = 5000) {
    return WaitFor([&] { return RetainedNow(broker_.port(), topic).contains(topic + " " + payload); }, ms);
  }

  BrokerProcess broker_;
  SimProcess sim_{{}};
  QTemporaryDir dir_;
  QString list_;
};

TEST_F(Bridge, RetainedTopicsAfterStart) {
  BridgeProcess bridge(args());
  ASSERT_TRUE(retained("t/p/R1001", "1234"));
  const QStringList kept = RetainedNow(broker_.port(), "t/p/#");
  for (const char* line : {"t/p/availability online", "t/p/controller online", "t/p/outputs 00", "t/p/Q0 0",
                           "t/p/Q7 0", "t/p/R1000 7", "t/p/R1001 1234", "t/p/R1002 0"})
    EXPECT_TRUE(kept.contains(QString::fromLatin1(line))) << line << "\n" << kept.join('\n').toStdString();
}

TEST_F(Bridge, OutputsAndARegisterChangingArrive) {
  BridgeProcess bridge(args());
  ASSERT_TRUE(retained("t/p/R1000", "7"));
  Subscriber sub(broker_.port(), {"t/p/#"});
  sim_.command("set R1000 0009");
  sim_.command("outputs A5");
  EXPECT_EQ(sub.waitFor("0 t/p/R1000 9"), "0 t/p/R1000 9");
  EXPECT_EQ(sub.waitFor("0 t/p/outputs"), "0 t/p/outputs A5");
  for (const char* q : {"0 t/p/Q0 1", "0 t/p/Q2 1", "0 t/p/Q5 1", "0 t/p/Q7 1"}) EXPECT_EQ(sub.waitFor(q), q);
  // Changes only: Q1 stayed off and is not sent again.
  EXPECT_EQ(sub.waitFor("0 t/p/Q1", 500), "");
}

// A controller behind a network line: the bridge takes the addresses the client takes.
TEST_F(Bridge, OutputsArriveFromAControllerOnTheNetwork) {
  const int port = FreeLocalPort();
  SimProcess net({"--tcp", QString::number(port)});
  ASSERT_EQ(net.device(), QStringLiteral("tcp://127.0.0.1:%1").arg(port));
  net.command("set R1000 0005");
  net.command("outputs 81");
  BridgeProcess bridge({"--port", net.device(), "--mqtt", broker_.url(), "--topic", "t/n", "--watch", list_});
  EXPECT_TRUE(retained("t/n/outputs", "81"));
  EXPECT_TRUE(retained("t/n/R1000", "5"));
  EXPECT_TRUE(retained("t/n/controller", "online"));
}

TEST_F(Bridge, AWriteThroughSetReachesTheControllerAndIsReadBack) {
  BridgeProcess bridge(args());
  ASSERT_TRUE(retained("t/p/availability", "online"));
  Subscriber sub(broker_.port(), {"t/p/events", "t/p/R1002"});
  ASSERT_TRUE(Publish(broker_.port(), "t/p/R1002/set", "-2"));
  const QString event = sub.waitFor("0 t/p/events");
  EXPECT_TRUE(event.contains(R"("command": "write R1002 = -2", "outcome": "confirmed", "value": "-2")"))
      << event.toStdString();
  EXPECT_EQ(sim_.command("get R1002"), "R1002 FFFE");
  EXPECT_EQ(sub.waitFor("0 t/p/R1002"), "0 t/p/R1002 -2");
}

TEST_F(Bridge, ABadPayloadIsRefusedOnEventsAndWritesNothing) {
  BridgeProcess bridge(args());
  ASSERT_TRUE(retained("t/p/availability", "online"));
  Subscriber sub(broker_.port(), {"t/p/events"});
  ASSERT_TRUE(Publish(broker_.port(), "t/p/R1001/set", "zz"));
  const QString event = sub.waitFor("0 t/p/events");
  EXPECT_TRUE(
      event.contains(R"("command": "write R1001 = zz", "outcome": "refused", "why": "value zz is not hex")"))
      << event.toStdString();
  // A retained write is never carried out, nor one of a register not listed.
  ASSERT_TRUE(Publish(broker_.port(), "t/p/R1001/set", "0001", true));
  ASSERT_TRUE(Publish(broker_.port(), "t/p/R7/set", "0001"));
  EXPECT_FALSE(sub.waitFor("0 t/p/events {\"time\"", 100).isEmpty());
  WaitFor([&] { return sub.lines().size() >= 3; }, 3000);
  ASSERT_EQ(sub.lines().size(), 3);
  EXPECT_TRUE(
      sub.lines()[1].contains(R"("outcome": "ignored", "why": "retained: a write is never replayed")"));
  EXPECT_TRUE(sub.lines()[2].contains(R"("outcome": "ignored", "why": "R7 is not in the list")"));
  Pump(500);
  EXPECT_EQ(sim_.command("get R1001"), "R1001 1234");
  EXPECT_EQ(sim_.command("get R7"), "R7 0000");
  Publish(broker_.port(), "t/p/R1001/set", "", true);
}

TEST_F(Bridge, ReadOnlyIgnoresEverySet) {
  BridgeProcess bridge(args({"--read-only"}));
  ASSERT_TRUE(retained("t/p/availability", "online"));
  Subscriber sub(broker_.port(), {"t/p/events"});
  ASSERT_TRUE(Publish(broker_.port(), "t/p/R1001/set", "0001"));
  EXPECT_TRUE(
      sub.waitFor("0 t/p/events").contains(R"("outcome": "ignored", "why": "the bridge is read-only")"));
  EXPECT_EQ(sim_.command("get R1001"), "R1001 1234");
}

TEST_F(Bridge, LastWillOnSigkillAndOfflineOnACleanStop) {
  {
    BridgeProcess bridge(args());
    ASSERT_TRUE(retained("t/p/availability", "online"));
    bridge.signal(SIGKILL);
    EXPECT_TRUE(retained("t/p/availability", "offline"));
  }
  BridgeProcess bridge(args());
  ASSERT_TRUE(retained("t/p/availability", "online"));
  bridge.signal(SIGTERM);
  EXPECT_EQ(bridge.waitForExit(5000), 143);
  EXPECT_TRUE(RetainedNow(broker_.port(), "t/p/availability").contains("t/p/availability offline"));
  // The line is free at once.
  QProcess client;
  client.start(QStringLiteral(VARNAK_CLI_PATH), {"--port", sim_.device(), "read", "R1001"});
  client.waitForFinished(5000);
  EXPECT_EQ(client.exitCode(), 0);
  EXPECT_EQ(client.readAllStandardOutput().trimmed(), "1234");
}

TEST_F(Bridge, TheBrokerRestartedGetsTheStateAgain) {
  BridgeProcess bridge(args());
  ASSERT_TRUE(retained("t/p/R1001", "1234"));
  broker_.stop();
  sim_.command("set R1001 4321");  // changed while the broker is away
  Pump(1500);
  ASSERT_TRUE(broker_.start()) << broker_.why();
  // The broker kept nothing (no persistence): all of it comes from the bridge, within its 5 s at most.
  EXPECT_TRUE(retained("t/p/R1001", "4321", 8000));
  const QStringList kept = RetainedNow(broker_.port(), "t/p/#");
  for (const char* line : {"t/p/availability online", "t/p/controller online", "t/p/outputs 00", "t/p/Q3 0"})
    EXPECT_TRUE(kept.contains(QString::fromLatin1(line))) << line;
}

TEST_F(Bridge, TheBrokerAbsentAtStart) {
  broker_.stop();
  BridgeProcess bridge(args());
  Pump(2500);  // polling the line meanwhile
  ASSERT_TRUE(broker_.start()) << broker_.why();
  EXPECT_TRUE(retained("t/p/R1000", "7", 8000));
  EXPECT_TRUE(retained("t/p/controller", "online", 1000));
}

TEST_F(Bridge, TheControllerSilentIsSaid) {
  BridgeProcess bridge(args());
  ASSERT_TRUE(retained("t/p/controller", "online"));
  sim_.command("silent on");
  EXPECT_TRUE(retained("t/p/controller", "no reply", 4000));
  sim_.command("silent off");
  EXPECT_TRUE(retained("t/p/controller", "online", 4000));
}

TEST_F(Bridge, TheLineLostIsSaid) {
  BridgeProcess bridge(args());
  ASSERT_TRUE(retained("t/p/controller", "online"));
  sim_.unplug();  // the pty goes away under the open port, as an adapter pulled out
  EXPECT_TRUE(retained("t/p/controller", "port failed", 8000));
  EXPECT_TRUE(retained("t/p/availability", "online", 3000));  // the bridge itself is still there
}

// mqtts:// with --cafile: a certificate made for the test, which the broker serves and the bridge trusts.
TEST(BridgeTls, ConnectsOverTlsTrustingTheGivenAuthority) {
  QTemporaryDir dir;
  // The broker drops root for its own user: the files must be readable by it.
  ::chmod(dir.path().toLocal8Bit().constData(), 0755);
  const QString cert = dir.filePath(QStringLiteral("cert.pem")),
                key = dir.filePath(QStringLiteral("key.pem"));
  QProcess openssl;
  openssl.start(QStringLiteral("openssl"),
                {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
                 "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"});
  if (!openssl.waitForFinished(20000) || openssl.exitCode() != 0)
    GTEST_SKIP() << "openssl cannot make a certificate";
  ::chmod(key.toLocal8Bit().constData(), 0644);
  BrokerProcess broker(QStringLiteral("certfile %1\nkeyfile %2\n").arg(cert, key));
  ASSERT_TRUE(broker.start()) << broker.why();
  SimProcess sim{{}};
  BridgeProcess bridge({"--port", sim.device(), "--mqtt",
                        QStringLiteral("mqtts://localhost:%1").arg(broker.port()), "--cafile", cert});
  const auto kept = [&] {
    QProcess sub;
    sub.start(QStringLiteral("mosquitto_sub"),
              {"-h", "localhost", "-p", QString::number(broker.port()), "--cafile", cert, "-t",
               "varnak/controller", "--retained-only", "-W", "1", "-v"});
    sub.waitForFinished(5000);
    return QString::fromUtf8(sub.readAllStandardOutput()).trimmed();
  };
  EXPECT_TRUE(WaitFor([&] { return kept() == "varnak/controller online"; }, 6000));
}

// The node of the prefix "t/p" as the bridge names it.
const QString kNode = QString::fromStdString(bridge::NodeId("t/p"));

// The fields Home Assistant's MQTT discovery documents for these components.
void ExpectEntity(const QJsonObject& c, const QString& component) {
  for (const char* key : {"name", "unique_id", "state_topic", "availability_topic", "device"})
    EXPECT_TRUE(c.contains(QLatin1String(key))) << key << " in " << component.toStdString();
  EXPECT_EQ(c["availability_topic"].toString(), "t/p/availability");
  EXPECT_EQ(c["device"].toObject()["identifiers"].toArray().first().toString(), kNode);
  EXPECT_TRUE(c["unique_id"].toString().startsWith(kNode + "_"));
  if (component == "binary_sensor") {
    EXPECT_EQ(c["payload_on"].toString(), "1");
    EXPECT_EQ(c["payload_off"].toString(), "0");
  }
  if (component == "number") {
    EXPECT_TRUE(c["command_topic"].toString().endsWith("/set"));
    EXPECT_TRUE(c["min"].isDouble());
    EXPECT_TRUE(c["max"].isDouble());
  }
}

TEST_F(Bridge, DiscoveryConfigsAsHomeAssistantReadsThem) {
  // Left by an earlier run whose list held R3000: emptied, with its state.
  ASSERT_TRUE(Publish(broker_.port(), "homeassistant/sensor/" + kNode + "/r3000/config",
                      "{\"name\": \"old\"}", true));
  ASSERT_TRUE(Publish(broker_.port(), "t/p/R3000", "5", true));
  // Another bridge's config is not ours to touch.
  ASSERT_TRUE(Publish(broker_.port(), "homeassistant/sensor/other/r3000/config", "{\"name\": \"x\"}", true));
  BridgeProcess bridge(args({"--ha-discovery"}));
  ASSERT_TRUE(retained("t/p/R1001", "1234"));
  Pump(500);
  const QStringList configs = RetainedNow(broker_.port(), "homeassistant/#");
  const QRegularExpression topic(
      QStringLiteral("^homeassistant/(binary_sensor|sensor|number)/([A-Za-z0-9_-]+)/"
                     "([A-Za-z0-9_-]+)/config (.*)$"));
  QMap<QString, int> count;
  for (const QString& line : configs) {
    const auto m = topic.match(line);
    ASSERT_TRUE(m.hasMatch()) << line.toStdString();
    if (m.captured(2) == "other") continue;
    EXPECT_EQ(m.captured(2), kNode);
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(m.captured(4).toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    ExpectEntity(doc.object(), m.captured(1));
    ++count[m.captured(1)];
  }
  EXPECT_EQ(count["binary_sensor"], 8);
  EXPECT_EQ(count["sensor"], 3);
  EXPECT_EQ(count["number"], 2);  // the unsigned and the signed rows
  EXPECT_FALSE(configs.join('\n').contains(kNode + "/r3000"));
  EXPECT_TRUE(RetainedNow(broker_.port(), "t/p/R3000").isEmpty());
  EXPECT_TRUE(configs.join('\n').contains("homeassistant/sensor/other/r3000/config"));
  Publish(broker_.port(), "homeassistant/sensor/other/r3000/config", "", true);
}

}  // namespace
}  // namespace varnak::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
