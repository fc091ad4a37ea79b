#include "operations/text_fields.h"

#include "operations/text_cleanup.h"

namespace quorvane {
namespace {

constexpr FrameId kNameFrames[] = {kFrameTPE1, kFrameTALB, kFrameTIT2};

bool RewriteNameFields(const EditContext& context, std::span<const RecordPtr> selection, const TextRule& rule) {
    if (RefuseWhileSaving(context.gate, selection, context.prompts)) return false;
    for (const RecordPtr& record : selection) {
        for (const FrameId id : kNameFrames) RewriteFrameText(record->Tag(), id, rule);
        context.listener.FileEdited(record);
    }
    return true;
}

}  // namespace

bool RewriteFrameText(Id3Tag& tag, FrameId id, const TextRule& rule) {
    const Id3Frame* frame = tag.FindFrame(id);
    TextField* field = frame ? frame->Text() : nullptr;
    if (!field) return false;
    std::u16string text = rule(field->Text());
    bool changed = text != field->Text();
    std::vector<std::u16string> more;
    for (const std::u16string& value : field->MoreValues()) {
        more.push_back(rule(value));
        changed = changed || more.back() != value;
    }
    if (!changed) return false;
    field->Assign(std::move(text), std::move(more));
    return true;
}

bool CapitalizeFields(const EditContext& context, std::span<const RecordPtr> selection) {
    return RewriteNameFields(context, selection, [](std::u16string_view text) { return Capitalize(text); });
}

bool ConvertUnderscoreFields(const EditContext& context, std::span<const RecordPtr> selection) {
    return RewriteNameFields(context, selection, [](std::u16string_view text) { return ConvertUnderscores(text); });
}

}  // namespace quorvane
