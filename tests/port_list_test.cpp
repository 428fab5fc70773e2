// Port numbers for the machine's ports: the order, stable names from a folder of
// by-id links, what the number resolves to, and the lists shown to the operator.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <fstream>

#include "serial/port_list.h"

namespace varnak::testing {
namespace {

std::vector<PortInfo> Reported(std::initializer_list<const char*> devices) {
  std::vector<PortInfo> out;
  for (const char* d : devices) out.push_back({d});
  return out;
}

std::string Order(const std::vector<PortInfo>& ports) {
  std::string s;
  for (const PortInfo& p : ports) s += (s.empty() ? "" : " ") + p.device.substr(5);
  return s;
}

TEST(PortNumbers, BuiltInFirstThenOthersByNameAndNumber) {
  struct Row {
    const char* name;
    std::vector<PortInfo> reported;
    std::string order;
  };
  const Row rows[] = {
      {"one adapter", Reported({"/dev/ttyUSB0"}), "ttyUSB0"},
      {"two adapters", Reported({"/dev/ttyUSB1", "/dev/ttyUSB0"}), "ttyUSB0 ttyUSB1"},
      {"built-in plus adapter", Reported({"/dev/ttyUSB0", "/dev/ttyS0"}), "ttyS0 ttyUSB0"},
      {"ACM devices", Reported({"/dev/ttyUSB0", "/dev/ttyACM1", "/dev/ttyACM0"}), "ttyACM0 ttyACM1 ttyUSB0"},
      // The system reports only the built-in ports that have hardware behind them.
      {"built-in without hardware", Reported({"/dev/ttyS4", "/dev/ttyUSB0", "/dev/ttyS1"}),
       "ttyS1 ttyS4 ttyUSB0"},
      {"numbers, not letters", Reported({"/dev/ttyUSB10", "/dev/ttyUSB9", "/dev/ttyS10", "/dev/ttyS2"}),
       "ttyS2 ttyS10 ttyUSB9 ttyUSB10"},
      {"none", {}, ""},
  };
  for (const Row& r : rows) EXPECT_EQ(Order(NumberPorts(r.reported)), r.order) << r.name;
}

// A fake /dev: device files and a by-id folder of links to them.
class ByIdDir : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const {
    return dir.filePath(QString::fromStdString(name)).toStdString();
  }
  void device(const std::string& name) { std::ofstream(path(name)).put('\n'); }
  void link(const std::string& id, const std::string& target) {
    ::unlink(path("by-id/" + id).c_str());
    ASSERT_EQ(::symlink(("../" + target).c_str(), path("by-id/" + id).c_str()), 0);
  }
  void SetUp() override { ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("by-id"))); }
  std::vector<PortInfo> reported(std::initializer_list<const char*> names) {
    std::vector<PortInfo> ports;
    for (const char* n : names) ports.push_back({path(n)});
    AddStableNames(ports, path("by-id"));
    return NumberPorts(ports);
  }
  QTemporaryDir dir;
};

TEST_F(ByIdDir, AdapterGoneAndBackUnderAnotherNumberKeepsItsPort) {
  device("ttyS0");
  device("ttyUSB0");
  link("usb-FTDI_A12345", "ttyUSB0");
  auto ports = reported({"ttyUSB0", "ttyS0"});
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].stableName, "");  // a built-in port has no by-id name
  const auto chosen = DeviceForNumber(ports, 2);
  ASSERT_EQ(chosen, path("by-id/usb-FTDI_A12345"));

  // Pulled and put back: the kernel names it ttyUSB1 now; the kept name leads there.
  ::unlink(path("ttyUSB0").c_str());
  device("ttyUSB1");
  link("usb-FTDI_A12345", "ttyUSB1");
  EXPECT_EQ(std::filesystem::canonical(*chosen), std::filesystem::canonical(path("ttyUSB1")));
}

TEST_F(ByIdDir, AnotherAdapterNeverTakesTheNumberOver) {
  device("ttyUSB0");
  link("usb-FTDI_A12345", "ttyUSB0");
  const auto chosen = DeviceForNumber(reported({"ttyUSB0"}), 1);
  // A pulled; B comes in at the same kernel name.
  ::unlink(path("by-id/usb-FTDI_A12345").c_str());
  link("usb-Prolific_B777", "ttyUSB0");
  EXPECT_FALSE(std::filesystem::exists(*chosen)) << "the kept name must not lead to the other adapter";
  EXPECT_EQ(DeviceForNumber(reported({"ttyUSB0"}), 1), path("by-id/usb-Prolific_B777"));
}

TEST(PortNumbers, NoSuchPortAndTheLists) {
  std::vector<PortInfo> ports = {{"/dev/ttyS0"},
                                 {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI_A12345", "FT232R USB UART",
                                  "FTDI", "A12345", 0x0403, 0x6001}};
  EXPECT_EQ(DeviceForNumber(ports, 3), std::nullopt);
  EXPECT_EQ(DeviceForNumber(ports, 0), std::nullopt);
  EXPECT_EQ(PortSummary(ports), "ports: 1 /dev/ttyS0, 2 /dev/ttyUSB0");
  EXPECT_EQ(PortSummary({}), "no serial ports");
  EXPECT_EQ(FormatPortList(ports, false),
            "1\t/dev/ttyS0\t-\t-\t-\t-\t-\n"
            "2\t/dev/ttyUSB0\t/dev/serial/by-id/usb-FTDI_A12345\tFT232R USB UART\tFTDI\tA12345\t0403:6001\n");
  EXPECT_EQ(
      FormatPortList({ports[1]}, true),
      "[{\"number\": 1, \"device\": \"/dev/ttyUSB0\", \"stable_name\": "
      "\"/dev/serial/by-id/usb-FTDI_A12345\", "
      "\"description\": \"FT232R USB UART\", \"manufacturer\": \"FTDI\", \"serial_number\": \"A12345\", "
      "\"usb_id\": \"0403:6001\"}]\n");
  EXPECT_EQ(PortsTooltip(ports, 2),
            "Serial ports:\n   1  /dev/ttyS0\n▶ 2  /dev/ttyUSB0  FT232R USB UART, FTDI, serial A12345");
  EXPECT_EQ(PortsTooltip({}, 1), "No serial ports found.");
}

}  // namespace
}  // namespace varnak::testing
