// What happens before the window is first shown: the command line and the port
// number prompt.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class QApplication;
class QWidget;

namespace varnak {

class Form2;
class QtSerialPort;

struct PanelOptions {
  QMap<int, QString> devices;  // --port N=DEVICE bindings
  bool trace = false;          // --trace: every line of the monitor on stderr
  bool monitor = false;        // --monitor: the line monitor open from the start
  bool version = false;        // --version
  bool listPorts = false;      // --list-ports: print the numbered ports and exit
  bool help = false;
  QString error;  // a usage error, for stderr
};

// Reads the command line, the program's name first: --port N=DEVICE
// (repeatable), --trace, --monitor, --list-ports, --version and --help, each
// as --opt value or --opt=value.
PanelOptions ParsePanelOptions(const QStringList& arguments);
QString PanelUsage();

// Chooses Qt's own event dispatcher over GLib's, before the QApplication is made:
// the poll wakes the tool some 70 times a second, and GLib's loop costs about
// twice the CPU per wakeup.
void UsePlainEventLoop();

// The window's default font: a CJK sans-serif small enough that every caption is
// whole at the window's fixed sizes.
void ApplyPanelFont(QApplication& app);

// Joins the port to the window: its receive event to the dispatcher, its
// problems to the title, and one line on stderr at each change of the title's message.
void WirePort(QtSerialPort& port, Form2& form);

// The modal port number prompt. Returns the text typed, or an empty text when
// the prompt was cancelled.
QString AskPortNumber(QWidget* parent = nullptr);

}  // namespace varnak
