// Feeds a Recorder from the register list's reports: each whole value read is
// a change of its registers (a pair's two words at once, so that the recording
// never holds a torn value), each failed read or register no longer read the
// start of a span not live.
#pragma once

#include <cstdint>

#include "timeline/recorder.h"
#include "watch/watch_list.h"

namespace varnak {

// `now` on the recorder's clock.
void RecordListReport(Recorder& recorder, std::int64_t now, const ListReport& report);

// The registers a file of the recording has columns for: those the rows read, in
// the rows' order (a pair's second register after its first), then every other
// register the recording still holds, ascending.
std::vector<unsigned> RecordingColumns(const std::vector<WatchEntry>& rows, const RegisterHistory& history);

}  // namespace varnak
