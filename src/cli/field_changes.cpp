#include "cli/field_changes.h"

#include <set>

#include "cli/cli_text.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

constexpr const char* kV1Names[] = {"ID3v1 title", "ID3v1 artist", "ID3v1 album", "ID3v1 year", "ID3v1 comment"};

std::string Values(const std::vector<std::string>& values) {
    if (values.empty()) return "none";
    std::string text;
    for (const std::string& value : values) text += (text.empty() ? "" : " + ") + value;
    return text;
}

}  // namespace

FieldSnapshot::FieldSnapshot(const std::vector<RecordPtr>& records) {
    before_.reserve(records.size());
    for (const RecordPtr& record : records) before_.emplace_back(record, Read(*record));
}

FieldSnapshot::Fields FieldSnapshot::Read(const Mp3FileRecord& record) {
    Fields fields;
    fields["file name"].push_back(JsonString(record.FileName()));
    for (const auto& frame : record.Tag().Frames()) {
        if (frame->Family() == FrameFamily::Text) {
            // Several values of one frame are shown together: "Solo", "Guest".
            std::string value = JsonString(frame->Text()->Text());
            for (const auto& more : frame->Text()->MoreValues()) value += ", " + JsonString(more);
            fields[std::string(frame->IdLetters())].push_back(value);
        } else if (frame->Family() == FrameFamily::Comment) {
            const std::string name = "COMM " + JsonLatin1(frame->Ascii(FieldRole::Language)->Value()) + " " +
                                     JsonString(frame->Text(FieldRole::Description)->Text());
            fields[name].push_back(JsonString(frame->Text(FieldRole::Text)->Text()));
        }
    }
    const Id3v1Record& v1 = record.Tag().V1();
    for (size_t i = 0; i < Id3v1Record::kStringCount; ++i) fields[kV1Names[i]].push_back(JsonString(v1.GetString(i)));
    fields["ID3v1 track"].push_back(std::to_string(v1.Track()));
    fields["ID3v1 genre"].push_back(std::to_string(v1.Genre()));
    return fields;
}

std::vector<std::string> FieldSnapshot::Changes() const {
    std::vector<std::string> lines;
    for (const auto& [record, before] : before_) {
        const Fields after = Read(*record);
        std::set<std::string> names;
        for (const auto& entry : before) names.insert(entry.first);
        for (const auto& entry : after) names.insert(entry.first);
        for (const std::string& name : names) {
            const auto old = before.find(name);
            const auto now = after.find(name);
            const std::vector<std::string> none;
            const auto& oldValues = old == before.end() ? none : old->second;
            const auto& newValues = now == after.end() ? none : now->second;
            if (oldValues == newValues) continue;
            lines.push_back(PathToNative(record->DiskPath()) + ": " + name + " " + Values(oldValues) + " -> " +
                            Values(newValues));
        }
    }
    return lines;
}

}  // namespace quorvane::cli
