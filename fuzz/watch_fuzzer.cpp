// Random bytes as a register list file and as values typed for every format:
// nothing crashes; a file taken holds only rows the rules allow and reads back
// from its own writing as the same list; a value taken shows as a text that is
// taken again as the same words.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/register_number.h"
#include "watch/register_format.h"
#include "watch/watch_file.h"

using namespace varnak;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const WatchFile file = ParseWatchFile(bytes, "f.csv");
  Check(file.error.empty() || file.entries.empty());
  if (file.error.empty()) {
    Check(file.entries.size() <= kMaxWatchRows);
    for (const WatchEntry& e : file.entries)
      Check(e.reg <= kMaxRegister && PairProblem(e.format, e.reg).empty());
    const WatchFile back = ParseWatchFile(FormatWatchFile(file.entries), "f.csv");
    Check(back.error.empty() && back.entries == file.entries);
  } else {
    Check(file.error.rfind("f.csv", 0) == 0);
  }

  for (int i = 0; i < kRegisterFormatCount; ++i) {
    const auto format = static_cast<RegisterFormat>(i);
    const TypedValue v = ParseValue(format, bytes);
    Check(v.ok == v.problem.empty());
    if (!v.ok) continue;
    Check(IsPair(format) || v.second == 0);
    const TypedValue again = ParseValue(format, FormatValue(format, v.first, v.second));
    Check(again.ok && again.first == v.first && again.second == v.second);
  }
  return 0;
}
