// `varnak watch` over an open line: returns the exit code.
#pragma once

#include <string>

#include "cli/client.h"
#include "cli/options.h"

namespace varnak::cli {

// `device` names the line in error messages.
int RunWatch(Client& client, const Options& opt, const std::string& device);

}  // namespace varnak::cli
