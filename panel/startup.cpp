#include "startup.h"

#include <QApplication>
#include <QFont>
#include <QInputDialog>

#include <cstdio>

#include "control/port_number.h"
#include "panel/form2.h"
#include "serial/qt_serial_port.h"

namespace varnak {

PanelOptions ParsePanelOptions(const QStringList& args) {
  PanelOptions o;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      o.help = true;
      continue;
    }
    if (a == QLatin1String("--trace")) {
      o.trace = true;
      continue;
    }
    if (a == QLatin1String("--version")) {
      o.version = true;
      continue;
    }
    if (a == QLatin1String("--list-ports")) {
      o.listPorts = true;
      continue;
    }
    if (a == QLatin1String("--monitor")) {
      o.monitor = true;
      continue;
    }
    QString binding;
    if (a == QLatin1String("--port") && i + 1 < args.size()) {
      binding = args[++i];
    } else if (a.startsWith(QLatin1String("--port="))) {
      binding = a.mid(7);
    } else {
      o.error = QStringLiteral("unknown argument: %1").arg(a);
      return o;
    }
    const int eq = binding.indexOf(QLatin1Char('='));
    const auto number = eq > 0 ? ParsePortNumber(binding.left(eq).toStdU32String()) : std::nullopt;
    if (!number || eq + 1 >= binding.size()) {
      o.error = QStringLiteral("--port wants N=DEVICE with N from 1 to 32767, got: %1").arg(binding);
      return o;
    }
    o.devices[*number] = binding.mid(eq + 1);
  }
  return o;
}

QString PanelUsage() {
  return QStringLiteral(
      "Usage: varnak-panel [--port N=DEVICE]... [--trace] [--monitor] [--list-ports]\n"
      "\n"
      "Writes and reads one register of the controller (station 1) and shows its\n"
      "outputs Q0-Q7, over a serial line at 9600 baud, odd parity, 8 data bits, 1 stop bit.\n"
      "At start the window asks for the port number (COM:).\n"
      "\n"
      "  --port N=DEVICE  port number N names DEVICE (a serial device or a pseudo-terminal)\n"
      "                   instead of the N-th port in --list-ports; may be given several times, e.g.\n"
      "                   --port 1=/dev/ttyUSB0 --port 2=/dev/serial/by-id/usb-...\n"
      "  --trace          the line monitor's lines on stderr: every chunk sent (TX) and received\n"
      "                   (RX) with the time of day, ms since start, the bytes in hex, a decoding\n"
      "                   and what the window did with it; exchanges, holds and port events\n"
      "  --monitor        open the line monitor (also Ctrl+M, or the window's context menu)\n"
      "  --list-ports     list the serial ports by number, as 'varnak ports' does, and exit\n"
      "  --version        the version\n"
      "  --help           this text\n"
      "\n"
      "The locale (LC_ALL, LANG) chooses Chinese or English for what the window adds to its\n"
      "captions and for --trace (LANG=C: English); this text is English in every locale.\n"
      "Nothing else is read from the command line, the environment or files.\n");
}

void UsePlainEventLoop() { qputenv("QT_NO_GLIB", "1"); }

void ApplyPanelFont(QApplication& app) {
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(11);  // the settings line then takes 431 of its 462 px
  font.setStyleHint(QFont::SansSerif);
  app.setFont(font);
}

void WirePort(QtSerialPort& port, Form2& form) {
  QObject::connect(&port, &QtSerialPort::commEvent, &form, &Form2::MSComm1_OnComm);
  QObject::connect(&port, &QtSerialPort::problemChanged, &form, &Form2::setPortProblem);
  QObject::connect(&form, &Form2::statusMessageChanged, &form, [](const QString& message) {
    const QString line =
        message.isEmpty() ? QCoreApplication::translate("varnak::Startup", "link ok") : message;
    std::fprintf(stderr, "varnak-panel: %s\n", line.toLocal8Bit().constData());
  });
}

QString AskPortNumber(QWidget* parent) {
  QInputDialog box(parent);
  box.setWindowTitle(QStringLiteral("请输入所使用的端口号"));
  box.setLabelText(QStringLiteral("COM:"));
  box.setTextValue(QStringLiteral("1"));
  box.move(3500 / 15, 3500 / 15);
  return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

}  // namespace varnak
