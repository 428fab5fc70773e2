// varnak: the scripting client. Results on stdout, one error line on stderr,
// and an exit code that says what happened.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "bridge/bridge_main.h"
#include "cli/client.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/read_lines.h"
#include "cli/watch_command.h"
#include "line/port_number.h"
#include "link/decode.h"
#include "link/register_number.h"
#include "net/address.h"
#include "serial/line_factory.h"
#include "serial/system_ports.h"
#include "serial/tcp_line.h"
#include "watch/register_format.h"

namespace {

using namespace varnak;
using namespace varnak::cli;

// Connects to a serial device server (and sets the line, for RFC 2217) within
// the time both may take; nothing on success, else the problem's sentence.
std::optional<std::string> OpenNetworkLine(const std::string& address, std::unique_ptr<Transport>* out) {
  struct Told : TransportListener {
    std::string problem;
    void onChunk(const Bytes&, std::int64_t) override {}
    void onProblem(const std::string& p, std::int64_t) override {
      if (!p.empty() && problem.empty()) problem = p;
    }
  } told;
  std::unique_ptr<Transport> line =
      MakeTransport(*ParseLineAddress(address), QString::fromStdString(address));
  line->setListener(&told);
  line->apply(PortSetting::LineSettings);
  line->apply(PortSetting::DtrOff);
  line->apply(PortSetting::NoHandshaking);
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(TcpLine::kConnectMs + Rfc2217Session::kAnswerMs + 500);
  if (line->open()) {
    // Readiness has no event of its own: look every few ms, and between looks for a stop.
    while (told.problem.empty() && !line->ready() && !StopRequested() &&
           std::chrono::steady_clock::now() < until) {
      QEventLoop loop;
      QTimer::singleShot(5, &loop, &QEventLoop::quit);
      loop.exec();
    }
  }
  line->setListener(nullptr);
  if (!told.problem.empty()) return told.problem;
  if (!line->ready()) return std::string(line->isOpen() ? "not ready in time" : "cannot open");
  *out = std::move(line);
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (bridge::IsBridgeCommand(argc, argv)) return bridge::RunBridge(argc, argv);
  CatchStopSignals();
  const Options opt = ParseOptions(argc, argv);
  if (opt.command == Command::Version) {
    std::printf("varnak %s\n", VARNAK_VERSION);
    return Finish(kDone);
  }
  if (opt.command == Command::Help) {
    std::fputs(kUsage, stdout);
    return Finish(kDone);
  }
  if (!opt.error.empty()) {
    std::fprintf(stderr, "varnak: %s (see varnak --help)\n", opt.error.c_str());
    return kUsageError;
  }
  // QSerialPort wants an application object.
  QCoreApplication app(argc, argv);
  if (opt.command == Command::Ports) {
    std::fputs(FormatPortList(SystemPorts(), opt.json).c_str(), stdout);
    return Finish(kDone);
  }
  std::string device = opt.device, label = opt.device;
  if (opt.portNumber) {
    const std::vector<PortInfo> ports = SystemPorts();
    const auto d = DeviceForNumber(ports, *opt.portNumber);
    if (!d) {
      std::fprintf(stderr, "varnak: COM%d: no such port (%s)\n", *opt.portNumber, PortSummary(ports).c_str());
      return kNoPort;
    }
    device = *d;
    label = PortName(*opt.portNumber) + ": " + device;
  }
  const auto stopRequested = [] { return StopRequested(); };
  std::unique_ptr<Transport> line;
  const bool network = IsNetworkAddress(device);
  if (network) {
    // A serial device server: the line is up (and set, for RFC 2217) before the first frame.
    if (const auto why = OpenNetworkLine(device, &line)) {
      if (StopRequested()) return StoppedStatus();
      std::fprintf(stderr, "varnak: %s\n", why->c_str());
      return kNoPort;
    }
  } else {
    auto local = std::make_unique<LocalPort>(QString::fromStdString(device), QString::fromStdString(device));
    if (!local->open()) {
      const auto& failure = local->openFailure();
      const QString sentence =
          !failure ? QStringLiteral("cannot open %1: No such file or directory")
                         .arg(QString::fromStdString(device))
          : failure->kind == OpenFailure::Kind::Busy
              ? failure->sentence(QString::fromStdString(label))
              : QStringLiteral("cannot open %1: %2").arg(QString::fromStdString(device), failure->why());
      std::fprintf(stderr, "varnak: %s\n", qPrintable(sentence));
      return kNoPort;
    }
    line = std::move(local);
  }
  Client::Trace trace;
  if (opt.trace) {
    trace = [](double ms, const char* dir, const Bytes& chunk) {
      std::fprintf(stderr, "%s\n", TraceLine(ms, dir, chunk).c_str());
    };
  }
  Client client(std::move(line), device, network, opt.timeoutMs, opt.retries, stopRequested, trace);
  const std::string reg = RegisterName(opt.reg);

  switch (opt.command) {
    case Command::Read: {
      // Several registers: a failed one is said on stderr with its register,
      // the others are still read, and the first failure's code is the exit code.
      const bool several = opt.reads.size() > 1;
      int status = kDone;
      for (const ReadItem& item : opt.reads) {
        std::uint16_t words[2] = {};
        unsigned at = item.reg;  // the register read last
        Outcome o = client.read(at);
        words[0] = o.value;
        if (o.failure == cli::Failure::None && IsPair(item.format)) {
          o = client.read(++at);
          words[1] = o.value;
        }
        if (o.failure != cli::Failure::None) {
          if (StopRequested()) return StoppedStatus();
          // A single register is reported as it always was; otherwise the line names the one that failed.
          const bool name = several || IsPair(item.format);
          const int failed = Fail(o, opt, name ? device + ": read " + RegisterName(at) : device);
          if (status == kDone) status = failed;
          // The line is gone: no further read can succeed.
          if (o.failure == cli::Failure::LineFailed) break;
          continue;
        }
        std::printf("%s\n", ReadLine(item, words[0], words[1], opt.style).c_str());
        if (several && std::fflush(stdout) != 0) break;
      }
      return Finish(status);
    }
    case Command::Write: {
      const Outcome o = client.write(opt.reg, opt.value);
      if (o.failure != cli::Failure::None) return Fail(o, opt, device);
      if (opt.json)
        std::printf("{\"register\": \"%s\", \"written\": \"%s\"}\n", reg.c_str(),
                    ValueHex(opt.value).c_str());
      return Finish(kDone);
    }
    case Command::Outputs: {
      const Outcome o = client.outputs();
      if (o.failure != cli::Failure::None) return Fail(o, opt, device);
      if (opt.json) {
        std::printf("{\"outputs\": \"%02X\"%s}\n", o.value, OutputsLine(o.value, true).c_str());
      } else {
        std::printf("%s\n", OutputsLine(o.value, false).c_str());
      }
      return Finish(kDone);
    }
    case Command::Watch:
      return RunWatch(client, opt, device);
    default:
      return kUsageError;
  }
}
