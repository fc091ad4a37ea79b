// show: everything a record holds, per file.
#include <cstdio>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_text.h"
#include "cli/sha256.h"
#include "platform/settings_store.h"
#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "tags/id3v1.h"

namespace quorvane::cli {
namespace {

std::u16string TextOf(const Id3Frame& frame, size_t n) {
    const CTextField* field = frame.TextField(n);
    return field ? field->Text() : std::u16string();
}

std::string AsciiOf(const Id3Frame& frame) {
    const CAsciiField* field = frame.AsciiField(0);
    return field ? field->Value() : std::string();
}

// A Latin-1 field (language, MIME type) as a JSON string: its bytes above 127 are
// characters, not UTF-8, and must not reach the output raw.
std::string JsonLatin1(const std::string& bytes) {
    std::u16string text;
    for (const char c : bytes) text.push_back(static_cast<unsigned char>(c));
    return JsonString(text);
}

// The body size of a frame shown only by its size: as read, or as it would be written.
size_t BodySize(const Id3Frame& frame) {
    if (const CDataField* raw = frame.RawBodyField()) return raw->Data().size();
    size_t size = 0;
    const RenderContext context{};
    for (size_t i = 0; i < frame.FieldCount(); ++i) size += frame.FieldAt(i)->RenderedSize(context);
    return size;
}

struct PictureInfo {
    unsigned type = 0;
    const std::vector<uint8_t>* data = nullptr;
};

PictureInfo PictureOf(const Id3Frame& frame) {
    PictureInfo info;
    if (const CDataField* type = frame.DataField(0); type && !type->Data().empty()) info.type = type->Data()[0];
    if (const CDataField* data = frame.DataField(1)) info.data = &data->Data();
    return info;
}

std::string FrameJson(const Id3Frame& frame) {
    const std::string id = JsonString(std::string_view(frame.IdLetters()));
    if (frame.RawBodyField() == nullptr) {
        if (frame.Id() == kFrameCOMM) {
            return "{\"id\": " + id + ", \"language\": " + JsonLatin1(AsciiOf(frame)) +
                   ", \"description\": " + JsonString(TextOf(frame, 0)) + ", \"text\": " + JsonString(TextOf(frame, 1)) +
                   "}";
        }
        if (frame.Id() == kFrameAPIC) {
            const PictureInfo picture = PictureOf(frame);
            const std::vector<uint8_t> none;
            const std::vector<uint8_t>& data = picture.data ? *picture.data : none;
            return "{\"id\": " + id + ", \"mime\": " + JsonLatin1(AsciiOf(frame)) +
                   ", \"type\": " + std::to_string(picture.type) + ", \"description\": " + JsonString(TextOf(frame, 0)) +
                   ", \"size\": " + std::to_string(data.size()) + ", \"sha256\": \"" + Sha256Hex(data) + "\"}";
        }
        if (frame.IdLetters().starts_with("T") && frame.TextField()) {
            return "{\"id\": " + id + ", \"text\": " + JsonString(TextOf(frame, 0)) + "}";
        }
    }
    return "{\"id\": " + id + ", \"size\": " + std::to_string(BodySize(frame)) + "}";
}

std::string FrameText(const Id3Frame& frame) {
    const std::string id(frame.IdLetters());
    if (frame.RawBodyField() == nullptr) {
        if (frame.Id() == kFrameCOMM) {
            return id + " [" + AsciiOf(frame) + "] " + U8(TextOf(frame, 0)) + ": " + U8(TextOf(frame, 1));
        }
        if (frame.Id() == kFrameAPIC) {
            const PictureInfo picture = PictureOf(frame);
            const size_t size = picture.data ? picture.data->size() : 0;
            return id + " " + AsciiOf(frame) + " type " + std::to_string(picture.type) + " \"" +
                   U8(TextOf(frame, 0)) + "\" " + std::to_string(size) + " bytes";
        }
        if (id.starts_with("T") && frame.TextField()) return id + " " + U8(TextOf(frame, 0));
    }
    return id + " (" + std::to_string(BodySize(frame)) + " bytes)";
}

std::string V1Json(const Mp3FileRecord& r) {
    if (!r.hasV1) return "null";
    const Id3v1Record& v1 = r.V1();
    return "{\"title\": " + JsonString(v1.GetString(Id3v1Record::kTitle)) +
           ", \"artist\": " + JsonString(v1.GetString(Id3v1Record::kArtist)) +
           ", \"album\": " + JsonString(v1.GetString(Id3v1Record::kAlbum)) +
           ", \"year\": " + JsonString(v1.GetString(Id3v1Record::kYear)) +
           ", \"comment\": " + JsonString(v1.GetString(Id3v1Record::kComment)) +
           ", \"track\": " + std::to_string(v1.Track()) + ", \"genre\": " + JsonString(GenreName(v1.Genre())) + "}";
}

}  // namespace

int RunShow(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {}, {"--json"}, parsed, "show")) return kExitUsage;
    if (!RequirePaths(parsed, "show")) return kExitUsage;
    if (!OpenSettings(parsed.global)) return kExitFileError;
    const bool json = !parsed.options.empty();
    StderrPrompts prompts(parsed.global.yes ? PromptAnswer::Yes : PromptAnswer::No);
    FileSet files(prompts);
    files.Load(parsed.paths, !parsed.global.noRecurse && settings::Recurse());

    std::string out = json ? "[" : "";
    bool first = true;
    for (const Mp3FileRecord* r : files.Records()) {
        if (json) {
            out += first ? "\n" : ",\n";
            out += "  {\"path\": " + JsonPathString(PathToNative(r->FullPath())) +
                   ", \"audioStart\": " + std::to_string(r->audioStart) +
                   ", \"bitrate\": " + std::to_string(r->bitrate) + ", \"vbr\": " + (r->isVbr ? "true" : "false") +
                   ", \"duration\": " + std::to_string(r->duration) +
                   ", \"hasV1\": " + (r->hasV1 ? "true" : "false") + ", \"v1\": " + V1Json(*r) + ", \"frames\": [";
            bool firstFrame = true;
            for (const auto& frame : r->Frames()) {
                out += (firstFrame ? "" : ", ") + FrameJson(*frame);
                firstFrame = false;
            }
            out += "]}";
        } else {
            if (!first) out += "\n";
            out += PathToNative(r->FullPath()) + "\n";
            out += "  audio start " + std::to_string(r->audioStart) + ", bitrate " + std::to_string(r->bitrate) +
                   (r->isVbr ? " (VBR)" : "") + ", duration " + std::to_string(r->duration) + " s\n";
            for (const auto& frame : r->Frames()) out += "  " + FrameText(*frame) + "\n";
            if (r->hasV1) {
                const Id3v1Record& v1 = r->V1();
                out += "  ID3v1: title \"" + U8(v1.GetString(Id3v1Record::kTitle)) + "\", artist \"" +
                       U8(v1.GetString(Id3v1Record::kArtist)) + "\", album \"" +
                       U8(v1.GetString(Id3v1Record::kAlbum)) + "\", year \"" +
                       U8(v1.GetString(Id3v1Record::kYear)) + "\", comment \"" +
                       U8(v1.GetString(Id3v1Record::kComment)) + "\", track " + std::to_string(v1.Track()) +
                       ", genre \"" + U8(GenreName(v1.Genre())) + "\"\n";
            } else {
                out += "  no ID3v1\n";
            }
        }
        first = false;
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
    }
    if (json) out += first ? "]\n" : "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return ExitStatus(prompts, files.PathErrors());
}

}  // namespace quorvane::cli
