#include "watch_file_read.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "watch/watch_list.h"

namespace varnak {

WatchFile ReadWatchFile(const std::string& path, Translate lang) {
  WatchFile out;
  const auto cannot = [&](int error) {
    out.error = Fill(lang("WatchFile", QT_TRANSLATE_NOOP("WatchFile", "cannot read %1: %2")),
                     {path, std::strerror(error)});
    return out;
  };
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return cannot(errno);
  std::string bytes;
  char chunk[8192];
  std::size_t n;
  while (bytes.size() <= kMaxWatchFileBytes && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    bytes.append(chunk, n);
  const int error = std::ferror(f) ? errno : 0;
  std::fclose(f);
  if (error) return cannot(error);
  if (bytes.size() > kMaxWatchFileBytes) {
    out.error =
        Fill(lang("WatchFile", QT_TRANSLATE_NOOP("WatchFile", "%1: larger than 4 MB: not a register list")),
             {path});
    return out;
  }
  out = ParseWatchFile(bytes, path, lang);
  if (out.error.empty()) {
    const std::string refused = WatchList().checkAll(out.entries, lang);
    if (!refused.empty()) {
      out.entries.clear();
      out.error = path + ": " + refused;
    }
  }
  return out;
}

}  // namespace varnak
