#pragma once
// The "Comments" tab: the comments that all selected files share, and what the Edit
// Comment dialog opens with.
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"
#include "tags/id3_frame.h"

namespace quorvane {

// One row of the list. It names the comment the user picks: its position among the
// first selected file's COMM frames and its content, so that two comments with the same
// short description (one in eng, one in deu) stay two different rows.
struct ListedComment {
    size_t position = 0;          // among the first selected file's COMM frames
    std::string language;         // the code as stored
    std::u16string languageName;  // the table's name of the code; empty when it has none
    std::u16string description;   // the short description, whole
    std::u16string text;
    bool operator==(const ListedComment&) const = default;
};

// Every COMM frame of the first selected file, in tag order, that every selected file
// holds an equal frame of (same language, short description and text).
std::vector<ListedComment> SharedComments(std::span<const RecordPtr> selection);

// A COMM frame with the listed comment's content, to compare frames with.
std::unique_ptr<Id3Frame> CommentFrameOf(const ListedComment& comment);

// The Edit Comment dialog's fields when it opens.
struct CommentDialogValues {
    std::u16string description;
    std::u16string languageName;  // the language list's item to select
    std::u16string text;
    bool operator==(const CommentDialogValues&) const = default;
};

// For "Edit" the picked comment's own values; for "Add" (no comment picked) those of the
// first selected file's comment with the empty short description, if it has one. The
// language is the comment's, or "English" when its code is not in the table.
CommentDialogValues InitialCommentValues(std::span<const RecordPtr> selection, const ListedComment* picked);

}  // namespace quorvane
