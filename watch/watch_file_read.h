// The register list read from a file by name: the one reader behind the
// window's Open and --watch, the client's --watch and any other program that
// takes a list file.
#pragma once

#include <cstddef>
#include <string>

#include "watch/watch_file.h"

namespace varnak {

// A list of 1,000 rows is some tens of kilobytes; this bounds what a wrong file name costs.
constexpr std::size_t kMaxWatchFileBytes = 4 * 1024 * 1024;

// The file parsed and its rows checked as the list checks them (pairs that run
// past R77777, one register listed twice): `error` names the file and why.
WatchFile ReadWatchFile(const std::string& path, Translate lang = English);

}  // namespace varnak
