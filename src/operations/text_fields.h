#pragma once
// The "Capitalize" and "Convert _ to Space" buttons: the lead artist, album and title of
// every selected file, rewritten by the rules of text_cleanup.h.
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "operations/edit_context.h"
#include "tags/id3_tag.h"

namespace quorvane {

using TextRule = std::function<std::u16string(std::u16string_view)>;

// Puts every value of the frame through `rule` and writes the frame only when a value
// changed; an absent frame stays absent. Every value counts, so the second artist of a
// frame with two is converted too instead of being dropped. True when it wrote.
bool RewriteFrameText(Id3Tag& tag, FrameId id, const TextRule& rule);

// TPE1, TALB and TIT2 of each file through Capitalize (or ConvertUnderscores); each
// file is announced to the listener. False, changing nothing, when a running save covers
// any of the records.
bool CapitalizeFields(const EditContext& context, std::span<const RecordPtr> selection);
bool ConvertUnderscoreFields(const EditContext& context, std::span<const RecordPtr> selection);

}  // namespace quorvane
