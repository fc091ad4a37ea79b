#pragma once
// Tag generation by regular expression: named groups ("(?P<artist>...)") say which frame
// receives which part of each file's name.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"
#include "operations/generation_plan.h"

namespace quorvane {

class EditGate;
class RegExp;
class SettingsStore;
class UserPrompts;

inline constexpr std::u16string_view kDefaultRegExp =
    u"(?P<artist>[A-Za-z]+) - (?P<track>[0-9]+) - (?P<title>[A-Za-z]+)";
inline constexpr std::u16string_view kRegExpParseError = u"The regular expression you entered could not be parsed.";

// "The regular expression \"EXPR\" didn't match the filename \"NAME\"".
std::u16string RegExpNoMatchMessage(std::u16string_view expression, std::u16string_view subject);

// What a searched name gives: for each of "artist", "album", "title", "year", "track",
// "genre" (in that order) that names a group which took part in the match, the frame and
// the text of the first such group. The name is searched whole, extension included; a group whose
// text runs to the end of the name and ends in ".mp3" (any case) after more than that
// gives the text without it, so "(?P<title>.+)" on "Song.mp3" gives "Song". None when
// the expression does not match.
std::optional<std::vector<FieldChange>> MatchRegExpGroups(RegExp& expression, std::u16string_view subject);

// The "RegExps" history as the box lists it; an empty one becomes the default entry.
std::vector<std::u16string> LoadRegExpHistory(SettingsStore& store);

// The page's confirming button up to the plan: refused while a save covers a target.
// An expression that does not compile shows the parse message and gives none (nothing is
// stored); otherwise it is stored in `history` (when given) and each target's name is
// searched, a name without a match showing the no-match message.
std::optional<GenerationPlan> PrepareRegexGeneration(std::u16string_view expression,
                                                     std::span<const RecordPtr> targets, const EditGate& gate,
                                                     UserPrompts& prompts, SettingsStore* history);

}  // namespace quorvane
