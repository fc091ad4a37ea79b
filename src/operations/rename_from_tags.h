#pragma once
// Rename from tags: new file names built from each file's tag by a name expression such
// as "<artist> - <track> - <title>". The new names stay in the records (FileName) until
// the files are saved; the save renames them on disk and never replaces a file.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"
#include "tags/frame_id.h"

namespace quorvane {

class EditGate;
class Id3Tag;
class SettingsStore;
class UserPrompts;

inline constexpr std::u16string_view kDefaultRenameExpression = u"<artist> - <track> - <title>";

class NameExpression {
public:
    enum class TokenKind { Literal, Frame, Track, Genre };
    struct Token {
        TokenKind kind = TokenKind::Literal;
        std::u16string text;  // Literal
        FrameId frame = 0;    // Frame
        bool operator==(const Token&) const = default;
    };

    // Literal runs and variables, then ".mp3". An unfinished variable at the end is
    // dropped; an unknown one ("<x>", "<>", "< artist >") shows "Unrecognized field: x"
    // under the caption "Error" and gives nothing.
    static std::optional<NameExpression> Compile(std::u16string_view expression, UserPrompts& prompts);

    // The new name from the tag as it is in memory, ".mp3" included, before the
    // characters a file name cannot hold are replaced. A missing frame gives nothing; a
    // one-character track gets a leading "0"; the genre shows "(n)" by its name.
    std::u16string Expand(const Id3Tag& tag) const;

    const std::vector<Token>& Tokens() const { return tokens_; }

private:
    std::vector<Token> tokens_;
};

// The "Renames" history as the box lists it (most recent first). An empty history
// becomes the default expression; entries in the older notation ("%artist - %title")
// are stored anew as "<artist> - <title>".
std::vector<std::u16string> LoadRenameHistory(SettingsStore& store);

// The older notation converted: "%artist", "%album", "%title", "%track", "%genre" and
// "%year" become the bracketed variables, in that order.
std::u16string ConvertOlderNotation(std::u16string_view expression);
// A stored history (oldest first) with its older-notation entries converted, each as
// an addition of its new form and a removal of its old one.
std::vector<std::u16string> ConvertRenameHistory(std::vector<std::u16string> entries);

// The preview line: the expansion for the first target, before the character
// replacement; empty without a target or when the expression does not compile (whose
// message is shown).
std::u16string RenamePreview(std::u16string_view expression, std::span<const RecordPtr> targets,
                             UserPrompts& prompts);

struct PlannedRename {
    RecordPtr record;
    std::u16string oldName;  // FileName() now
    std::u16string newName;  // as it will be stored
};
// Only the files whose name changes, in target order.
using RenamePlan = std::vector<PlannedRename>;

RenamePlan PlanRenames(const NameExpression& expression, std::span<const RecordPtr> targets);

// The dialog's "Rename" button up to the plan: refused while a save covers a target;
// the expression goes into `history` (when given) before it is compiled; none when it
// does not compile.
std::optional<RenamePlan> PrepareRename(std::u16string_view expression, std::span<const RecordPtr> targets,
                                        const EditGate& gate, UserPrompts& prompts, SettingsStore* history);

// Hands each new name to its record (SetFileName), from the last file to the first.
void ApplyRenames(const RenamePlan& plan);

}  // namespace quorvane
