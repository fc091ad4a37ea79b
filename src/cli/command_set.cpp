// set: change ID3v2 and ID3v1 fields of every file named, then save.
#include <cstdio>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "platform/settings_store.h"
#include "library/mp3_file_record.h"
#include "platform/text_codec.h"
#include "tags/id3v1.h"

namespace quorvane::cli {
namespace {

struct V2Option {
    const char* name;
    FrameId id;
};
constexpr V2Option kV2Options[] = {{"--title", kFrameTIT2}, {"--artist", kFrameTPE1}, {"--album", kFrameTALB},
                                   {"--year", kFrameTDRC},  {"--track", kFrameTRCK},  {"--genre", kFrameTCON}};

struct V1Option {
    const char* name;
    int index;  // a Id3v1Record string, or -1 track, -2 genre
};
constexpr V1Option kV1Options[] = {{"--v1-title", Id3v1Record::kTitle},     {"--v1-artist", Id3v1Record::kArtist},
                                   {"--v1-album", Id3v1Record::kAlbum},     {"--v1-year", Id3v1Record::kYear},
                                   {"--v1-comment", Id3v1Record::kComment}, {"--v1-track", -1},
                                   {"--v1-genre", -2}};

bool ParseTrack(const std::string& text, uint8_t& track) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long value = std::stoul(text);
    if (value > 255) return false;
    track = static_cast<uint8_t>(value);
    return true;
}

}  // namespace

int RunSet(const std::vector<std::string>& args) {
    std::vector<std::string> valueOptions;
    for (const V2Option& o : kV2Options) valueOptions.push_back(o.name);
    for (const V1Option& o : kV1Options) valueOptions.push_back(o.name);
    ParsedArgs parsed;
    if (!ParseArgs(args, valueOptions, {}, parsed, "set")) return kExitUsage;
    if (parsed.options.empty()) {
        std::fprintf(stderr, "quorvane-cli set: nothing to set\n");
        return kExitUsage;
    }
    // Check every value before touching a file.
    for (const auto& [name, value] : parsed.options) {
        if (name == "--v1-track") {
            uint8_t track = 0;
            if (!ParseTrack(value, track)) {
                std::fprintf(stderr, "quorvane-cli set: --v1-track takes a number from 0 to 255\n");
                return kExitUsage;
            }
        } else if (name == "--v1-genre" && !value.empty()) {
            bool found = false;
            GenreIndex(U16(value), &found);
            if (!found) {
                std::fprintf(stderr, "quorvane-cli set: unknown genre '%s'\n", value.c_str());
                return kExitUsage;
            }
        }
    }
    if (!RequirePaths(parsed, "set")) return kExitUsage;
    if (!OpenSettings(parsed.global)) return kExitFileError;
    StderrPrompts prompts(parsed.global.yes ? PromptAnswer::Yes : PromptAnswer::No);
    FileSet files(prompts);
    files.Load(parsed.paths, !parsed.global.noRecurse && settings::Recurse());

    for (Mp3FileRecord* record : files.Records()) {
        for (const auto& [name, value] : parsed.options) {
            for (const V2Option& o : kV2Options) {
                if (name == o.name) record->SetText(o.id, U16(value));
            }
            for (const V1Option& o : kV1Options) {
                if (name != o.name) continue;
                Id3v1Record& v1 = record->V1();
                if (o.index >= 0) {
                    v1.SetString(static_cast<size_t>(o.index), U16(value));
                } else if (o.index == -1) {
                    uint8_t track = 0;
                    ParseTrack(value, track);
                    v1.SetTrack(track);
                } else {
                    v1.SetGenre(value.empty() ? Id3v1Record::kNoGenre : GenreIndex(U16(value)));
                }
            }
        }
    }
    const int status = SaveRecords(files.Records(), parsed.global, prompts);
    return files.PathErrors() ? kExitFileError : status;
}

}  // namespace quorvane::cli
