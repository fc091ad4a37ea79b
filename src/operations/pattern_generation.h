#pragma once
// Tag generation by pattern: the shape of the file names described with literal
// separators between variables ("<track>_<artist>_<title>"); each file's name is
// matched and the captured texts fill its frames.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"
#include "operations/generation_plan.h"
#include "tags/frame_id.h"

namespace quorvane {

class EditGate;
class SettingsStore;
class UserPrompts;

class GenerationPattern {
public:
    struct Token {
        bool variable = false;
        std::u16string literal;  // a literal token's text, possibly empty
        FrameId frame = 0;       // a variable's frame
        bool operator==(const Token&) const = default;
    };
    // What one variable of the pattern got from a name: its text, or none when it did
    // not match.
    struct Capture {
        FrameId frame = 0;
        std::optional<std::u16string> text;
        bool operator==(const Capture&) const = default;
    };

    // Never fails as a whole: every variable comes after exactly one literal token (empty
    // between adjacent variables), and text after the last variable is a final literal.
    // An unknown name shows "Unrecognized field: " and the name under the program's
    // title and is skipped; the literals around it join. An unfinished variable at the
    // end is dropped.
    static GenerationPattern Compile(std::u16string_view pattern, UserPrompts& prompts);

    // One capture per variable, in pattern order. A literal must follow exactly (letter
    // case included). A variable ends where the next literal first appears, so it takes
    // the shortest text; the last token, when a variable, takes the rest of the name less
    // a ".mp3" ending (any case) when there is more than that. Once a token fails, it and
    // every variable after it match nothing, so the frames of a name that does not fit
    // keep their values.
    std::vector<Capture> Match(std::u16string_view subject) const;

    const std::vector<Token>& Tokens() const { return tokens_; }

private:
    std::vector<Token> tokens_;
};

// The page's preview fields, in their order.
enum class PreviewField { Artist, Album, Title, Track, Year, Genre };
inline constexpr size_t kPreviewFieldCount = 6;
using PatternPreviewFields = std::array<std::u16string, kPreviewFieldCount>;

// The six preview fields for a name: each variable that captured shows its text as
// captured (before SetText's rules), the others stay empty.
PatternPreviewFields PatternPreview(std::u16string_view pattern, std::u16string_view subject, UserPrompts& prompts);

// Every captured variable of every target's name (FileName(), its pending new name
// when it has one).
GenerationPlan PlanPatternGeneration(const GenerationPattern& pattern, std::span<const RecordPtr> targets);

// The page's confirming button up to the plan: refused while a save covers a target;
// the pattern is compiled, then stored in `history` (when given).
std::optional<GenerationPlan> PreparePatternGeneration(std::u16string_view pattern,
                                                       std::span<const RecordPtr> targets, const EditGate& gate,
                                                       UserPrompts& prompts, SettingsStore* history);

}  // namespace quorvane
