// show [--json] PATH...: everything a record holds, per file. A frame's fields are
// written under the names of its family's layout, each read by its role.
#include <cstdio>
#include <memory>

#include "cli/cli_text.h"
#include "cli/listing_output.h"
#include "cli/command_line.h"
#include "cli/file_set.h"
#include "platform/text_codec.h"
#include "tags/id3v2_reader.h"

namespace quorvane::cli {
namespace {

struct ShowArguments {
    bool json = false;
    std::vector<std::string> paths;
};

// One field as `"name": value` (JSON) or `name=value` (text). Texts are JSON strings in
// both forms; bytes are given by their size and SHA-256.
std::string FieldOutput(const Id3Frame& frame, const FieldSpec& spec, bool json) {
    const std::string name(spec.name);
    const std::string key = json ? "\"" + name + "\": " : name + "=";
    switch (spec.role) {
        case FieldRole::Text:
        case FieldRole::Description: {
            const TextField* field = frame.Text(spec.role);
            if (!field) break;
            std::string out = key + JsonString(field->Text());
            if (spec.role == FieldRole::Text && !field->MoreValues().empty()) {
                out += json ? ", \"values\": [" : " values=[";
                out += JsonString(field->Text());
                for (const std::u16string& value : field->MoreValues()) out += ", " + JsonString(value);
                out += "]";
            }
            return out;
        }
        case FieldRole::Language:
        case FieldRole::MimeType:
            if (const AsciiField* field = frame.Ascii(spec.role)) return key + JsonLatin1(field->Value());
            break;
        case FieldRole::PictureType:
            if (const DataField* field = frame.Data(spec.role)) {
                return key + std::to_string(field->Data().empty() ? 0 : field->Data()[0]);
            }
            break;
        case FieldRole::PictureData:
        case FieldRole::Body: {
            if (!frame.Data(spec.role)) break;
            const std::vector<uint8_t>& data = frame.Data(spec.role)->Data();
            return json ? key + "{\"size\": " + std::to_string(data.size()) + ", \"sha256\": \"" + Sha256Hex(data) + "\"}"
                        : key + std::to_string(data.size()) + " bytes sha256=" + Sha256Hex(data);
        }
        case FieldRole::Encoding:
        case FieldRole::Terminator:
            break;  // chosen or made when the tag is written
    }
    return {};
}

std::string FrameOutput(const Id3Frame& frame, bool json) {
    std::string out = json ? "{\"id\": " + JsonLatin1(frame.IdLetters()) : std::string(frame.IdLetters());
    for (const FieldSpec& spec : frame.Layout().fields) {
        const std::string field = FieldOutput(frame, spec, json);
        if (!field.empty()) out += (json ? ", " : " ") + field;
    }
    return json ? out + "}" : out;
}

constexpr std::pair<const char*, Id3v1Record::StringIndex> kV1Strings[] = {
    {"title", Id3v1Record::kTitle}, {"artist", Id3v1Record::kArtist},   {"album", Id3v1Record::kAlbum},
    {"year", Id3v1Record::kYear},   {"comment", Id3v1Record::kComment}};

std::string V1Output(const Mp3FileRecord& r, bool json) {
    if (!r.HasV1()) return json ? "null" : "no ID3v1";
    const Id3v1Record& v1 = r.Tag().V1();
    std::string out = json ? "{" : "ID3v1:";
    for (const auto& [name, index] : kV1Strings) {
        out += json ? "\"" + std::string(name) + "\": " : std::string(" ") + name + "=";
        out += JsonString(v1.GetString(index)) + (json ? ", " : "");
    }
    out += (json ? "\"track\": " : " track=") + std::to_string(v1.Track());
    out += (json ? ", \"genre\": " : " genre=") + JsonString(GenreName(v1.Genre()));
    return json ? out + "}" : out;
}

// What the tag keeps as bytes: frames past the frame cap, and bytes the reader could
// not read; a save writes both back.
std::string KeptOutput(const Id3Tag& tag, bool json) {
    const KeptFrames* kept = tag.KeptFrameTail();
    const std::string count = std::to_string(kept ? kept->count : 0);
    const std::string size = std::to_string(kept ? kept->bytes.size() : 0);
    const std::string unread = std::to_string(tag.UnreadBytes().size());
    if (json) return ", \"keptFrames\": {\"count\": " + count + ", \"size\": " + size + "}, \"unreadBytes\": " + unread;
    std::string out;
    if (kept) out += "  kept as read past frame " + std::to_string(kV2FrameCap) + ": " + count + " frames, " + size + " bytes\n";
    if (!tag.UnreadBytes().empty()) out += "  unread: " + unread + " bytes, kept behind the padding\n";
    return out;
}

std::string RecordOutput(const Mp3FileRecord& r, bool json) {
    const StreamFigures& stream = r.Stream();
    if (json) {
        std::string out = "  {\"path\": " + JsonString(r.DiskPath()) + ", \"bitrate\": " +
                          std::to_string(stream.bitrate) + ", \"vbr\": " + (stream.vbr ? "true" : "false") +
                          ", \"duration\": " + std::to_string(stream.duration) +
                          ", \"hasV1\": " + (r.HasV1() ? "true" : "false") + ", \"v1\": " + V1Output(r, true) +
                          ", \"frames\": [";
        for (size_t i = 0; i < r.Tag().Frames().size(); ++i) {
            out += (i ? ", " : "") + FrameOutput(*r.Tag().Frames()[i], true);
        }
        return out + "]" + KeptOutput(r.Tag(), true) + "}";
    }
    std::string out = PathToNative(r.DiskPath()) + "\n  bitrate " + std::to_string(stream.bitrate) +
                      (stream.vbr ? " (VBR)" : "") + ", duration " + std::to_string(stream.duration) + " s\n";
    for (const auto& frame : r.Tag().Frames()) out += "  " + FrameOutput(*frame, false) + "\n";
    return out + KeptOutput(r.Tag(), false) + "  " + V1Output(r, false) + "\n";
}

int RunShow(CommandContext& context, const ShowArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    ListingOutput listing(arguments.json, "", "\n");
    for (const RecordPtr& record : files.Records()) listing.NextRow() += RecordOutput(*record, arguments.json);
    listing.Finish();
    return files.ExitStatus();
}

}  // namespace

void RegisterShowCommand(CommandLine& cli) {
    auto arguments = std::make_shared<ShowArguments>();
    CLI::App& command = cli.AddCommand(
        "show", "Everything a file's record holds: stream data, the ID3v1 record, every ID3v2 frame",
        [arguments](CommandContext& context) { return RunShow(context, *arguments); });
    command.add_flag("--json", arguments->json, "An array of objects; frame fields under their layout names");
    cli.AddPathArguments(command, arguments->paths);
}

}  // namespace quorvane::cli
