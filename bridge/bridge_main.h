// `varnak bridge`: the controller on an MQTT broker.
#pragma once

namespace varnak::bridge {

// Whether the command word of the client's arguments is "bridge".
bool IsBridgeCommand(int argc, const char* const* argv);
// The whole command: its options, the line, the broker, until SIGTERM or SIGINT; the exit status.
int RunBridge(int argc, char** argv);

}  // namespace varnak::bridge
