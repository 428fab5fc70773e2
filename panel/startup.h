// What happens before the window is first shown: the command line and the port
// number prompt.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class QApplication;
class QWidget;

namespace varnak {

struct PanelOptions {
  QMap<int, QString> devices;  // --port N=DEVICE bindings
  bool help = false;
  QString error;  // a usage error, for stderr
};

// Reads the arguments after the program name. Only --port N=DEVICE (repeatable)
// and --help exist.
PanelOptions ParsePanelOptions(const QStringList& args);
QString PanelUsage();

// The window's default font: a CJK sans-serif small enough that every caption is
// whole at the window's fixed sizes.
void ApplyPanelFont(QApplication& app);

// The modal port number prompt. Returns the text typed, or an empty text when
// the prompt was cancelled.
QString AskPortNumber(QWidget* parent = nullptr);

}  // namespace varnak
