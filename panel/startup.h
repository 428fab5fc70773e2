// What happens before the window is first shown: the command line and the port
// number prompt.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "watch/watch_file.h"

class QApplication;
class QWidget;

namespace varnak {

class Form2;

struct PanelOptions {
  QMap<int, QString> devices;    // --port N=ADDRESS bindings (a device, tcp://, socket://, rfc2217://)
  std::optional<int> timeoutMs;  // --timeout MS: the reply timeout; none: the line's default
  bool trace = false;            // --trace: every line of the monitor on stderr
  bool monitor = false;          // --monitor: the line monitor open from the start
  bool timeline = false;         // --timeline: the output timing chart open from the start
  QString watchFile;             // --watch FILE: the register watch open with this list, reading
  bool version = false;          // --version
  bool listPorts = false;        // --list-ports: print the numbered ports and exit
  bool help = false;
  QString error;  // a usage error, for stderr
};

// Reads the command line, the program's name first: --port N=DEVICE
// (repeatable), --trace, --monitor, --timeline, --watch FILE, --list-ports, --version and
// --help, each as --opt value or --opt=value.
PanelOptions ParsePanelOptions(const QStringList& arguments);
QString PanelUsage();

// The register list of --watch FILE, read and checked whole before any window
// opens; false with `error` set ("list.csv:3: register R2008 is not octal",
// English, for stderr) when the file cannot be read or is refused.
bool ReadWatchOption(const QString& path, std::vector<WatchEntry>* entries, QString* error);

// Chooses Qt's own event dispatcher over GLib's, before the QApplication is made:
// the poll wakes the tool some 70 times a second, and GLib's loop costs about
// twice the CPU per wakeup.
void UsePlainEventLoop();

// The default font where the desktop names none of its own: a CJK sans-serif
// small enough that every caption is whole at the window's fixed sizes.
void ApplyPanelFont(QApplication& app);

// One line on stderr at each change of the title's message. (The port itself
// reaches the link control directly: its chunks and problems go to its listener.)
void WireStatusLines(Form2& form);

// The modal port number prompt. Returns the text typed, or an empty text when
// the prompt was cancelled.
QString AskPortNumber(QWidget* parent = nullptr);

}  // namespace varnak
