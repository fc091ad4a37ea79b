#include "operations/comment_edit.h"

#include <algorithm>
#include <vector>

#include "operations/languages.h"
#include "platform/text_codec.h"
#include "tags/id3_tag.h"

namespace quorvane {
namespace {

constexpr std::string_view kNewCommentLanguage = "eng";

std::vector<Id3Frame*> CommentFrames(const Id3Tag& tag) {
    std::vector<Id3Frame*> frames;
    for (Id3Frame* frame = tag.FindFrame(kFrameCOMM); frame; frame = tag.FindFrame(kFrameCOMM, frame)) {
        frames.push_back(frame);
    }
    return frames;
}

bool IsEditable(const Id3Frame& frame) { return frame.Family() == FrameFamily::Comment; }

// Two codes of one language: equal, or the table's two codes of a name ("ger" and "deu").
bool SameLanguage(std::string_view a, std::string_view b) {
    if (a == b) return true;
    const std::u16string_view name = LanguageNameForCode(a);
    return !name.empty() && name == LanguageNameForCode(b);
}

// The comment with the short description: the one in `language` when the file has such
// a comment (so that a file with one in eng and one in deu has the right one changed),
// else the first.
Id3Frame* FindByDescription(const Id3Tag& tag, std::u16string_view description, std::string_view language) {
    Id3Frame* first = nullptr;
    for (Id3Frame* frame : CommentFrames(tag)) {
        if (!IsEditable(*frame) || frame->Text(FieldRole::Description)->Text() != description) continue;
        if (IsLanguageCode(language) && SameLanguage(frame->Ascii(FieldRole::Language)->Value(), language)) {
            return frame;
        }
        if (!first) first = frame;
    }
    return first;
}

void SetLanguage(AsciiField& field, std::string_view code) {
    if (IsLanguageCode(code)) {
        field.SetValue(code);
    } else if (field.Value().size() != 3) {
        field.SetValue(kNewCommentLanguage);
    }
}

void Change(Id3Frame& frame, const CommentEdit& edit) {
    SetLanguage(*frame.Ascii(FieldRole::Language), edit.language);
    frame.Text(FieldRole::Text)->SetText(edit.text);
}

}  // namespace

Id3Frame* FindListedComment(const Id3Tag& tag, const ListedComment& comment, bool firstFile) {
    const auto listed = CommentFrameOf(comment);
    const std::vector<Id3Frame*> frames = CommentFrames(tag);
    if (firstFile && comment.position < frames.size() && frames[comment.position]->Equals(*listed)) {
        return frames[comment.position];
    }
    for (Id3Frame* frame : frames) {
        if (frame->Equals(*listed)) return frame;
    }
    return nullptr;
}

bool SaveComment(const EditContext& context, std::span<const RecordPtr> selection, const CommentEdit& edit,
                 const ListedComment* picked) {
    if (RefuseWhileSaving(context.gate, selection, context.prompts)) return false;
    if (picked && picked->description != edit.description) picked = nullptr;
    for (size_t i = 0; i < selection.size(); ++i) {
        Id3Tag& tag = selection[i]->Tag();
        Id3Frame* frame = picked ? FindListedComment(tag, *picked, i == 0) : nullptr;
        if (!frame) frame = FindByDescription(tag, edit.description, edit.language);
        if (frame) {
            Change(*frame, edit);
        } else {
            tag.AddComment(IsLanguageCode(edit.language) ? edit.language : kNewCommentLanguage, edit.description,
                           edit.text);
        }
    }
    context.listener.SelectionEdited();
    return true;
}

bool DeleteComment(const EditContext& context, std::span<const RecordPtr> selection, const ListedComment& picked) {
    if (RefuseWhileSaving(context.gate, selection, context.prompts)) return false;
    for (size_t i = 0; i < selection.size(); ++i) {
        Id3Tag& tag = selection[i]->Tag();
        if (const Id3Frame* frame = FindListedComment(tag, picked, i == 0)) tag.RemoveFrame(frame);
    }
    context.listener.SelectionEdited();
    return true;
}

bool DeleteAllComments(const EditContext& context, std::span<const RecordPtr> selection) {
    if (RefuseWhileSaving(context.gate, selection, context.prompts)) return false;
    for (const RecordPtr& record : selection) {
        while (record->Tag().RemoveFrameById(kFrameCOMM)) {
        }
    }
    context.listener.SelectionEdited();
    return true;
}

bool DeleteCommentByDescription(const EditContext& context, std::span<const RecordPtr> selection,
                                std::u16string_view description, std::span<const std::string> languages) {
    if (RefuseWhileSaving(context.gate, selection, context.prompts)) return false;
    for (const RecordPtr& record : selection) {
        Id3Tag& tag = record->Tag();
        std::vector<const Id3Frame*> matching;
        for (const Id3Frame* frame : CommentFrames(tag)) {
            if (IsEditable(*frame) && frame->Text(FieldRole::Description)->Text() == description &&
                (languages.empty() || std::find(languages.begin(), languages.end(),
                                                frame->Ascii(FieldRole::Language)->Value()) != languages.end())) {
                matching.push_back(frame);
            }
        }
        if (matching.size() == 1) {
            tag.RemoveFrame(matching.front());
        } else if (matching.size() > 1) {
            context.prompts.ShowError(ProgramTitle(), u"Comment not deleted from \"" + record->FullPath() +
                                                          u"\":\nit holds " + U16(std::to_string(matching.size())) +
                                                          u" comments with the short description \"" +
                                                          std::u16string(description) + u"\"" +
                                                          (languages.empty() ? u"" : u" in that language") + u".");
        }
    }
    context.listener.SelectionEdited();
    return true;
}

std::optional<std::string> FindLanguageCode(std::string_view nameOrCode) {
    const std::vector<std::string> codes = FindLanguageCodes(nameOrCode);
    if (codes.empty()) return std::nullopt;
    return codes.front();
}

std::vector<std::string> FindLanguageCodes(std::string_view nameOrCode) {
    std::vector<std::string> codes;
    if (IsLanguageCode(nameOrCode)) {
        std::string code = U8(ToLower(U16(nameOrCode)));
        if (!LanguageNameForCode(code).empty()) {
            codes.push_back(std::move(code));
            return codes;
        }
    }
    const std::u16string name = U16(nameOrCode);
    for (const Language& language : LanguageTable()) {
        if (!language.name.empty() && EqualsIgnoreCase(language.name, name) &&
            std::find(codes.begin(), codes.end(), language.code) == codes.end()) {
            codes.emplace_back(language.code);
        }
    }
    return codes;
}

}  // namespace quorvane
