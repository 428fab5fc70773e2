// varnak-panel: the operator's window on the controller.
#include <QApplication>
#include <cstdio>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/qt_serial_port.h"

int main(int argc, char* argv[]) {
  varnak::UsePlainEventLoop();
  QApplication app(argc, argv);
  const varnak::PanelOptions options = varnak::ParsePanelOptions(app.arguments().mid(1));
  if (options.help) {
    std::fputs(qPrintable(varnak::PanelUsage()), stdout);
    return 0;
  }
  if (!options.error.isEmpty()) {
    std::fprintf(stderr, "varnak-panel: %s\n%s", qPrintable(options.error), qPrintable(varnak::PanelUsage()));
    return 2;
  }
  varnak::ApplyPanelFont(app);

  varnak::QtSerialPort port(options.devices);
  varnak::Form2 form(port);
  varnak::WirePort(port, form);

  form.load(varnak::AskPortNumber());
  form.move(3585 / 15, 2550 / 15);
  form.show();
  return app.exec();
}
