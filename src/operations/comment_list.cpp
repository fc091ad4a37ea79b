#include "operations/comment_list.h"

#include <algorithm>

#include "operations/languages.h"
#include "tags/id3_tag.h"

namespace quorvane {
namespace {

bool HoldsEqualFrame(const Id3Tag& tag, const Id3Frame& frame) {
    return std::any_of(tag.Frames().begin(), tag.Frames().end(),
                       [&frame](const auto& other) { return other->Equals(frame); });
}

ListedComment ListedFrom(const Id3Frame& frame, size_t position) {
    ListedComment comment;
    comment.position = position;
    comment.language = frame.Ascii(FieldRole::Language)->Value();
    comment.languageName = std::u16string(LanguageNameForCode(comment.language));
    comment.description = frame.Text(FieldRole::Description)->Text();
    comment.text = frame.Text(FieldRole::Text)->Text();
    return comment;
}

}  // namespace

std::vector<ListedComment> SharedComments(std::span<const RecordPtr> selection) {
    std::vector<ListedComment> list;
    if (selection.empty()) return list;
    const Id3Tag& first = selection.front()->Tag();
    size_t position = 0;
    for (const Id3Frame* frame = first.FindFrame(kFrameCOMM); frame; frame = first.FindFrame(kFrameCOMM, frame)) {
        const size_t at = position++;
        // A comment kept as read (compressed, encrypted) has no fields to show.
        if (frame->Family() != FrameFamily::Comment) continue;
        const bool shared = std::all_of(selection.begin() + 1, selection.end(), [frame](const RecordPtr& record) {
            return HoldsEqualFrame(record->Tag(), *frame);
        });
        if (shared) list.push_back(ListedFrom(*frame, at));
    }
    return list;
}

std::unique_ptr<Id3Frame> CommentFrameOf(const ListedComment& comment) {
    return MakeCommentFrame(comment.language, comment.description, comment.text);
}

CommentDialogValues InitialCommentValues(std::span<const RecordPtr> selection, const ListedComment* picked) {
    CommentDialogValues values;
    std::string language;
    if (picked) {
        values.description = picked->description;
        values.text = picked->text;
        language = picked->language;
    } else if (!selection.empty()) {
        const Id3Frame* frame = selection.front()->Tag().FindComment(u"");
        if (frame && frame->Family() == FrameFamily::Comment) {
            values.text = frame->Text(FieldRole::Text)->Text();
            language = frame->Ascii(FieldRole::Language)->Value();
        }
    }
    values.languageName = std::u16string(InitialLanguageName(language));
    return values;
}

}  // namespace quorvane
