// varnak-panel: the operator's window on the controller.
#include <QApplication>
#include <QFont>
#include <cstdio>

#include "panel/form2.h"
#include "panel/startup.h"
#include "serial/qt_serial_port.h"

int main(int argc, char* argv[]) {
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
  QObject::connect(&port, &varnak::QtSerialPort::commEvent, &form, &varnak::Form2::MSComm1_OnComm);
  QObject::connect(&port, &varnak::QtSerialPort::problemChanged, &form, [&form](const QString& problem) {
    form.showPortProblem(problem);
    // One line per change of state, never one per tick.
    std::fprintf(stderr, "varnak-panel: %s\n", problem.isEmpty() ? "port ok" : qPrintable(problem));
  });

  form.load(varnak::AskPortNumber());
  form.move(3585 / 15, 2550 / 15);
  form.show();
  return app.exec();
}
