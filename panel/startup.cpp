#include "startup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFont>
#include <QInputDialog>

#include <cstdio>

#include "line/port_number.h"
#include "net/address.h"
#include "panel/caption_fit.h"
#include "panel/form2.h"
#include "watch/watch_file_read.h"
#include "watch/watch_list.h"

namespace varnak {

PanelOptions ParsePanelOptions(const QStringList& arguments) {
  PanelOptions o;
  // --help and --version are ours: Qt's own add --help-all, which the usage
  // text and the man page do not list.
  const QCommandLineOption help(QStringList{"h", "help"}), version(QStringLiteral("version")),
      trace(QStringLiteral("trace")), monitor(QStringLiteral("monitor")),
      timeline(QStringLiteral("timeline")), listPorts(QStringLiteral("list-ports")),
      port(QStringLiteral("port"), {}, QStringLiteral("N=ADDRESS")),
      timeout(QStringLiteral("timeout"), {}, QStringLiteral("MS")),
      watch(QStringLiteral("watch"), {}, QStringLiteral("FILE"));
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addOptions({help, version, trace, monitor, timeline, listPorts, port, timeout, watch});
  if (!parser.parse(arguments)) {
    o.error = parser.errorText();
    return o;
  }
  o.help = parser.isSet(help);
  o.version = parser.isSet(version);
  o.trace = parser.isSet(trace);
  o.monitor = parser.isSet(monitor);
  o.timeline = parser.isSet(timeline);
  o.listPorts = parser.isSet(listPorts);
  if (parser.values(watch).size() > 1) {
    o.error = QStringLiteral("--watch takes one file");
    return o;
  }
  o.watchFile = parser.value(watch);
  if (parser.isSet(watch) && o.watchFile.isEmpty()) {
    o.error = QStringLiteral("--watch wants a file name");
    return o;
  }
  if (!parser.positionalArguments().isEmpty()) {
    o.error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
    return o;
  }
  if (parser.isSet(timeout)) {
    bool ok = false;
    const int ms = parser.value(timeout).toInt(&ok);
    if (!ok || ms < 1 || ms > 600000 || parser.values(timeout).size() > 1) {
      o.error = QStringLiteral("--timeout wants one whole number of ms from 1 to 600000, got: %1")
                    .arg(parser.values(timeout).join(QLatin1Char(' ')));
      return o;
    }
    o.timeoutMs = ms;
  }
  for (const QString& binding : parser.values(port)) {
    const int eq = binding.indexOf(QLatin1Char('='));
    const auto number = eq > 0 ? ParsePortNumber(binding.left(eq).toStdU32String()) : std::nullopt;
    if (!number || eq + 1 >= binding.size()) {
      o.error = QStringLiteral("--port wants N=ADDRESS with N from 1 to 32767, got: %1").arg(binding);
      return o;
    }
    const std::string address = binding.mid(eq + 1).toStdString();
    std::string why;
    if (IsNetworkAddress(address) && !ParseLineAddress(address, &why)) {
      o.error = QStringLiteral("--port %1").arg(QString::fromStdString(why));
      return o;
    }
    o.devices[*number] = binding.mid(eq + 1);
  }
  return o;
}

QString PanelUsage() {
  return QStringLiteral(
      "Usage: varnak-panel [--port N=ADDRESS]... [--timeout MS] [--trace] [--monitor]\n"
      "                    [--timeline] [--watch FILE] [--list-ports]\n"
      "\n"
      "Writes and reads one register of the controller (station 1) and shows its\n"
      "outputs Q0-Q7, over a serial line at 9600 baud, odd parity, 8 data bits, 1 stop bit.\n"
      "At start the window asks for the port number (COM:).\n"
      "\n"
      "  --port N=ADDRESS port number N names ADDRESS instead of the N-th port in --list-ports:\n"
      "                   a serial device or a pseudo-terminal, or a serial device server,\n"
      "                   tcp://HOST:PORT (raw, also socket://; the line runs at the server's\n"
      "                   settings) or rfc2217://HOST:PORT (9600 8O1 set from here); HOST an IPv4\n"
      "                   address, [IPv6] or a name; may be given several times, e.g.\n"
      "                   --port 1=/dev/ttyUSB0 --port 2=rfc2217://192.168.1.50:4001\n"
      "  --timeout MS     how long each frame waits for its reply (default 150 on a local line,\n"
      "                   500 on a network line)\n"
      "  --trace          the line monitor's lines on stderr: every chunk sent (TX) and received\n"
      "                   (RX) with the time of day, ms since start, the bytes in hex, a decoding\n"
      "                   and what the window did with it; exchanges, holds and port events\n"
      "  --monitor        open the line monitor (also Ctrl+M, or the window's context menu)\n"
      "  --timeline       open the output timing chart: Q0-Q7 over time with the writes and\n"
      "                   reads on it, saved as CSV or VCD (also Ctrl+T, or the context menu)\n"
      "  --watch FILE     open the register watch with the register list in FILE (CSV:\n"
      "                   register,name,format) and read them in turn between the polls\n"
      "                   (also Ctrl+R, or the context menu); a bad FILE is a usage error\n"
      "  --list-ports     list the serial ports by number, as 'varnak ports' does, and exit\n"
      "  --version        the version\n"
      "  --help           this text\n"
      "Values go as --opt VALUE or --opt=VALUE; options are never abbreviated.\n"
      "\n"
      "SIGTERM, SIGINT and SIGHUP close the port and end the window with status 128 plus\n"
      "the signal's number (143, 130, 129). Exit status 2: a usage error.\n"
      "The locale (LC_ALL, LANG) chooses Chinese or English for what the window adds to its\n"
      "captions and for --trace (LANG=C: English); this text is English in every locale.\n"
      "Nothing else is read from the command line, the environment or files.\n");
}

bool ReadWatchOption(const QString& path, std::vector<WatchEntry>* entries, QString* error) {
  const WatchFile read = ReadWatchFile(path.toStdString());
  if (!read.error.empty()) {
    *error = QString::fromStdString(read.error);
    return false;
  }
  *entries = read.entries;
  return true;
}

void UsePlainEventLoop() { qputenv("QT_NO_GLIB", "1"); }

void ApplyPanelFont(QApplication& app) {
  // A desktop's own font is kept: the window fits its captions to it.
  if (QApplication::font().family() != QLatin1String("Sans Serif")) return;
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(11);  // the settings line then takes 431 of its 462 px
  font.setStyleHint(QFont::SansSerif);
  app.setFont(font);
}

void WireStatusLines(Form2& form) {
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
  box.move(TwipsToPixels(3500, ScreenDpi()), TwipsToPixels(3500, ScreenDpi()));
  return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

}  // namespace varnak
