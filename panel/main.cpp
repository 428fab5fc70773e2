// varnak-panel: the operator's window on the controller.
#include <QApplication>
#include <cstdio>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/qt_serial_port.h"

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
  if (options.listPorts) {
    std::fputs(varnak::FormatPortList(varnak::SystemPorts(), false).c_str(), stdout);
    return 0;
  }
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  varnak::ApplyPanelFont(app);

  varnak::QtSerialPort port(options.devices);
  varnak::Form2 form(port);
  varnak::WirePort(port, form);
  if (options.trace) {
    form.lineLog().addSink([](const varnak::LinkEvent&, const std::string& line) {
      std::fprintf(stderr, "%s\n", line.c_str());
    });
  }

  form.load(varnak::AskPortNumber());
  form.move(3585 / 15, 2550 / 15);
  form.show();
  if (options.monitor) form.openMonitor();
  return app.exec();
}
