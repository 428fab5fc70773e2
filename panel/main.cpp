// varnak-panel: the operator's window on the controller.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "panel/form2.h"
#include "panel/lamp_pictures.h"
#include "panel/startup.h"
#include "serial/qt_serial_port.h"
#include "translations/translate.h"

int main(int argc, char* argv[]) {
  // Options first, so that --help and usage errors need no display.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const varnak::PanelOptions options = varnak::ParsePanelOptions(args);
  if (options.help) {
    std::fputs(qPrintable(varnak::PanelUsage()), stdout);
    return 0;
  }
  if (!options.error.isEmpty()) {
    std::fprintf(stderr, "varnak-panel: %s\n%s", qPrintable(options.error), qPrintable(varnak::PanelUsage()));
    return 2;
  }
  if (options.version) {
    std::printf("varnak-panel %s\n", VARNAK_VERSION);
    return 0;
  }
  if (options.listPorts) {
    std::fputs(varnak::FormatPortList(varnak::SystemPorts(), false).c_str(), stdout);
    return 0;
  }
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  varnak::ApplyPanelFont(app);
  // Everything the window adds speaks the operator's language; --help and
  // usage errors above stay English, as scripts and the man page read them.
  varnak::InstallTranslators(QLocale::system());
  // The icon of the menu entry, on every window; the lamp picture where Qt has no SVG plugin.
  QIcon icon(QStringLiteral(":/varnak-panel.svg"));
  app.setWindowIcon(icon.pixmap(32).isNull() ? QIcon(varnak::GreenLamp()) : icon);

  varnak::QtSerialPort port(options.devices);
  varnak::Form2 form(port);
  varnak::WirePort(port, form);
  if (options.trace) {
    form.lineLog().addSink([](const varnak::LoggedEvent& logged) {
      std::fprintf(stderr, "%s\n", varnak::FormatLine(logged).toLocal8Bit().constData());
    });
  }

  form.load(varnak::AskPortNumber());
  form.move(3585 / 15, 2550 / 15);
  form.show();
  if (options.monitor) form.openMonitor();
  return app.exec();
}
