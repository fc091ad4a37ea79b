#pragma once
// Changing the comments of the selected files: the Edit Comment dialog's OK, "Delete",
// "Delete All", and deleting by short description for the command-line tool.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "operations/comment_list.h"
#include "operations/edit_context.h"

namespace quorvane {

// What the Edit Comment dialog holds at OK.
struct CommentEdit {
    std::u16string description;
    // A three-letter code (the chosen name's code). Anything else, the empty first item
    // of the list included, keeps a comment's own code and gives a new one "eng": a COMM
    // frame always carries three language bytes.
    std::string language;
    std::u16string text;
};

// The frame of `tag` that a listed comment stands for: in the first selected file the
// one at the listed position, if it still has the listed content; otherwise (and in
// every other file) the first COMM frame equal to the listed comment. Null when none is.
Id3Frame* FindListedComment(const Id3Tag& tag, const ListedComment& comment, bool firstFile);

// OK of the Edit Comment dialog, in every selected file. With a picked comment whose
// short description was kept, the picked comment is changed (files that lack it are
// handled as below). Otherwise the comment with that short description is changed (the
// one in the chosen language when there are several), or a new one is appended when
// the file has none, so a changed short description adds a comment. Tells the listener
// once; false, changing nothing, when a running save covers any of the records.
bool SaveComment(const EditContext& context, std::span<const RecordPtr> selection, const CommentEdit& edit,
                 const ListedComment* picked = nullptr);

// "Delete": the picked comment goes from every selected file that holds it; nothing
// else is removed, whatever its short description.
bool DeleteComment(const EditContext& context, std::span<const RecordPtr> selection, const ListedComment& picked);

// "Delete All": every COMM frame of every selected file, listed or not.
bool DeleteAllComments(const EditContext& context, std::span<const RecordPtr> selection);

// Deletes from each file its comment with the short description (in one of `languages`
// when some are given). A file holding several such comments keeps them all and is
// reported: which one was meant cannot be known. False when a running save covers the
// records.
bool DeleteCommentByDescription(const EditContext& context, std::span<const RecordPtr> selection,
                                std::u16string_view description, std::span<const std::string> languages = {});

// A language as a user names it: a code of the table (any letter case) or a name of it
// (ignoring case). The code, the first entry's for a name ("German" gives "ger"); none
// when the table has neither.
std::optional<std::string> FindLanguageCode(std::string_view nameOrCode);
// Every code the user's word may stand for: the code itself, or each code of the name
// ("German" gives "ger" and "deu"). Empty when the table has neither.
std::vector<std::string> FindLanguageCodes(std::string_view nameOrCode);

}  // namespace quorvane
