// varnak-panel: the operator's window on the controller.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "control/tracing_port.h"
#include "link/decode.h"
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
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  varnak::ApplyPanelFont(app);

  varnak::QtSerialPort port(options.devices);
  QElapsedTimer clock;
  clock.start();
  varnak::TracingPort traced(port, [&clock](const char* direction, const varnak::Bytes& chunk) {
    std::fprintf(stderr, "%s\n", varnak::TraceLine(clock.nsecsElapsed() / 1e6, direction, chunk).c_str());
  });
  varnak::Form2 form(options.trace ? static_cast<varnak::SerialPort&>(traced) : port);
  varnak::WirePort(port, form);

  form.load(varnak::AskPortNumber());
  form.move(3585 / 15, 2550 / 15);
  form.show();
  return app.exec();
}
