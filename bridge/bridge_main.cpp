#include "bridge/bridge_main.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bridge/bridge_runner.h"
#include "watch/watch_file_read.h"

namespace varnak::bridge {

namespace {

// The options, of the client's and the bridge's, that take the next word as their value.
bool TakesValue(const std::string& w) {
  static const char* const kValued[] = {
      "--port",   "--timeout",   "--retries", "--count",  "--format",   "--watch",
      "--vcd",    "--registers", "--mqtt",    "--topic",  "--username", "--password-file",
      "--cafile", "--config",    "--share",   "--modbus", "--max-age"};
  for (const char* v : kValued)
    if (w == v) return true;
  return false;
}

// A config, list or password file is small; more than this is not one.
constexpr std::size_t kMaxFileBytes = 1 << 20;

bool ReadTextFile(const std::string& path, std::string* text, std::string* why) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *why = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  char chunk[8192];
  std::size_t n;
  while (text->size() <= kMaxFileBytes && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    text->append(chunk, n);
  const int error = std::ferror(f) ? errno : 0;
  std::fclose(f);
  if (error) *why = "cannot read " + path + ": " + std::strerror(error);
  if (!error && text->size() > kMaxFileBytes) *why = path + " is larger than 1 MiB";
  return why->empty();
}

int gSignalPipe[2] = {-1, -1};  // [1] written by the handler, [0] read on the event loop

void OnStopSignal(int signal) {
  const unsigned char n = static_cast<unsigned char>(signal);
  const ssize_t ignored = ::write(gSignalPipe[1], &n, 1);  // async-signal-safe
  (void)ignored;
}

int Usage(const std::string& why) {
  std::fprintf(stderr, "varnak: %s (see varnak bridge --help)\n", why.c_str());
  return 2;
}

}  // namespace

bool IsBridgeCommand(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string w = argv[i];
    if (w.rfind("-", 0) == 0) {
      if (TakesValue(w)) ++i;
      continue;
    }
    return w == "bridge";
  }
  return false;
}

int RunBridge(int argc, char** argv) {
  std::vector<std::string> words;
  bool command = false;
  for (int i = 1; i < argc; ++i) {
    const std::string w = argv[i];
    if (!command && w == "bridge" && IsBridgeCommand(i + 1, argv)) {
      command = true;
      continue;
    }
    words.push_back(w);
  }
  const bridge::BridgeConfig config = bridge::ParseBridgeArguments(words, &ReadTextFile);
  if (config.help) {
    std::fputs(bridge::kBridgeUsage, stdout);
    return std::fflush(stdout) == 0 ? 0 : 6;
  }
  if (!config.error.empty()) return Usage(config.error);
  std::vector<WatchEntry> list;
  if (!config.watchFile.empty()) {
    // The list as the window and `varnak read --watch` take it.
    const WatchFile file = ReadWatchFile(config.watchFile);
    if (!file.error.empty()) return Usage(file.error);
    list = file.entries;
  }
  std::string password;
  if (!config.passwordFile.empty()) {
    std::string why;
    if (!ReadTextFile(config.passwordFile, &password, &why)) return Usage(why);
    password = password.substr(0, password.find_first_of("\r\n"));
  }
  // The port's Qt objects want the application object first.
  QCoreApplication app(argc, argv);
  std::string why;
  auto port = MakeBridgePort(config.port, &why);
  if (!port) return Usage(why);

  // A broker gone away is seen as an error on its socket, not a signal that ends the bridge.
  std::signal(SIGPIPE, SIG_IGN);
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalPipe) != 0) {
    std::fprintf(stderr, "varnak: %s\n", std::strerror(errno));
    return 1;
  }
  for (const int s : {SIGTERM, SIGINT}) {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(s, &sa, nullptr);
  }
  BridgeRunner runner(config, list, std::move(port), password);
  int stopSignal = 0;
  QSocketNotifier notifier(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
    unsigned char n = 0;
    while (::read(gSignalPipe[0], &n, 1) == 1)
      if (!stopSignal) stopSignal = n;
    if (!stopSignal) return;
    std::fprintf(stderr, "varnak bridge: %s: publishing offline, releasing the line\n",
                 strsignal(stopSignal));
    runner.stop();
    QCoreApplication::exit(128 + stopSignal);
  });
  if (!runner.start(&why)) {
    std::fprintf(stderr, "varnak: %s\n", why.c_str());
    return 1;
  }
  return app.exec();
}

}  // namespace varnak::bridge
