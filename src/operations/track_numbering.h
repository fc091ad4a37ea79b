#pragma once
// "Track #": while the toggle is down, each file the user selects takes the next track
// number.
#include "operations/edit_context.h"
#include "operations/text_cleanup.h"

namespace quorvane {

// Sets the file's TRCK to the counter's next number (decimal) and announces the file.
// False, taking no number, while the toggle is up or when a running save covers the file.
bool NumberTrack(const EditContext& context, const RecordPtr& record, TrackCounter& counter);

}  // namespace quorvane
