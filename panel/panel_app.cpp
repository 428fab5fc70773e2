#include "panel_app.h"

#include <QApplication>
#include <QIcon>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "panel/caption_fit.h"
#include "panel/form2.h"
#include "panel/lamp_pictures.h"
#include "panel/startup.h"
#include "panel/unix_signals.h"
#include "serial/numbered_port.h"
#include "translations/translate.h"

namespace varnak {

int RunPanel(int argc, char** argv, const std::function<QString()>& askPortNumber) {
  // Options first, so that --help and usage errors need no display.
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const PanelOptions options = ParsePanelOptions(args);
  if (options.help) {
    std::fputs(qPrintable(PanelUsage()), stdout);
    return 0;
  }
  if (!options.error.isEmpty()) {
    std::fprintf(stderr, "varnak-panel: %s (see varnak-panel --help)\n", qPrintable(options.error));
    return 2;
  }
  if (options.version) {
    std::printf("varnak-panel %s\n", VARNAK_VERSION);
    return 0;
  }
  if (options.listPorts) {
    std::fputs(FormatPortList(SystemPorts(), false).c_str(), stdout);
    // The numbers bound with --port (devices and network lines), which win over the list's.
    for (auto it = options.devices.cbegin(); it != options.devices.cend(); ++it)
      std::printf("%d\t%s\t-\tbound with --port\t-\t-\t-\n", it.key(), qPrintable(it.value()));
    return 0;
  }
  // The whole list is read and checked before any window opens.
  std::vector<WatchEntry> watchList;
  if (!options.watchFile.isEmpty()) {
    QString error;
    if (!ReadWatchOption(options.watchFile, &watchList, &error)) {
      std::fprintf(stderr, "varnak-panel: %s\n", qPrintable(error));
      return 2;
    }
  }
  UsePlainEventLoop();
  // With TZ unset, glibc looks at /etc/localtime again at every local time
  // taken (each line of the monitor takes one); named once, it is read once.
  if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");
  QApplication app(argc, argv);
  ApplyPanelFont(app);
  // Everything the window adds speaks the operator's language; --help and
  // usage errors above stay English, as scripts and the man page read them.
  InstallTranslators(QLocale::system());
  // The icon of the menu entry, on every window; the lamp picture where Qt has no SVG plugin.
  QIcon icon(QStringLiteral(":/varnak-panel.svg"));
  app.setWindowIcon(icon.pixmap(32).isNull() ? QIcon(GreenLamp()) : icon);

  NumberedPort port(options.devices);
  Form2 form(port);
  form.core().setReplyTimeoutMs(options.timeoutMs);
  form.setBoundPorts(options.devices);
  WireStatusLines(form);
  if (options.trace) {
    form.lineLog().addSink([](const LoggedEvent& logged) {
      std::fprintf(stderr, "%s\n", FormatLine(logged).toLocal8Bit().constData());
    });
  }

  // Asked to stop: the port is closed first (its settings restored, its lock
  // files gone), then every window, then the loop, the prompt's included.
  int stopSignal = 0;
  UnixSignals stop({SIGTERM, SIGINT, SIGHUP});
  QObject::connect(&stop, &UnixSignals::received, &app, [&](int signal) {
    if (stopSignal) return;
    stopSignal = signal;
    std::fprintf(stderr, "varnak-panel: %s: closing the port and quitting\n", strsignal(signal));
    form.Timer1->stop();
    port.close();
    QApplication::closeAllWindows();
    QCoreApplication::exit(128 + signal);
  });

  const QString answer = askPortNumber();
  if (stopSignal) return 128 + stopSignal;
  form.load(answer);
  form.move(TwipsToPixels(3585, ScreenDpi()), TwipsToPixels(2550, ScreenDpi()));
  form.show();
  if (options.monitor) form.openMonitor();
  if (options.timeline) form.openTimeline();
  if (!options.watchFile.isEmpty()) {
    form.watch()->model()->replaceAll(watchList, nullptr);
    form.openWatch();
  }
  const int status = app.exec();
  port.close();
  return stopSignal ? 128 + stopSignal : status;
}

}  // namespace varnak
