// varnak-panel as the tests start it: the real program, with "1" answered to
// the port number prompt, since no one is at the keyboard.
#include "panel/panel_app.h"

int main(int argc, char* argv[]) {
  return varnak::RunPanel(argc, argv, [] { return QStringLiteral("1"); });
}
