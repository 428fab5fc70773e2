// varnak-panel: the operator's window on the controller.
#include "panel/panel_app.h"
#include "panel/startup.h"

int main(int argc, char* argv[]) {
  return varnak::RunPanel(argc, argv, [] { return varnak::AskPortNumber(); });
}
