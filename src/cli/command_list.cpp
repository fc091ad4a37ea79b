// list: one row per file, in scan order, with the ten columns of the file list.
#include <cstdio>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_text.h"
#include "library/list_columns.h"
#include "library/settings_store.h"
#include "mp3/mp3_file_record.h"
#include "platform/text_codec.h"

namespace quorvane::cli {

namespace {

// A cell of the tab-separated output: tabs and line breaks would split it.
std::string Cell(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

}  // namespace

int RunList(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {}, {"--json"}, parsed, "list")) return kExitUsage;
    if (!RequirePaths(parsed, "list")) return kExitUsage;
    if (!OpenSettings(parsed.global)) return kExitFileError;
    const bool json = !parsed.options.empty();
    StderrPrompts prompts(parsed.global.yes ? PromptAnswer::Yes : PromptAnswer::No);
    FileSet files(prompts);
    files.Load(parsed.paths, !parsed.global.noRecurse && settings::Recurse());

    // Rows go out one by one (stdio buffers them), never as one string for all files.
    std::string out;
    const auto flush = [&out] {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
    };
    if (json) {
        out += "[";
        bool first = true;
        for (const Mp3FileRecord* r : files.Records()) {
            out += first ? "\n" : ",\n";
            first = false;
            // Names as the bytes on disk: a name that is not UTF-8 can still be found again.
            out += "  {\"path\": " + JsonPathString(PathToNative(r->FullPath())) +
                   ", \"directory\": " + JsonPathString(PathToNative(r->directory)) +
                   ", \"filename\": " + JsonPathString(PathToNative(r->fileName)) +
                   ", \"track\": " + JsonString(r->GetText(kFrameTRCK)) +
                   ", \"artist\": " + JsonString(r->GetText(kFrameTPE1)) +
                   ", \"album\": " + JsonString(r->GetText(kFrameTALB)) +
                   ", \"title\": " + JsonString(r->GetText(kFrameTIT2)) +
                   ", \"year\": " + JsonString(r->GetText(kFrameTDRC)) +
                   ", \"genre\": " + JsonString(r->GetGenre()) + ", \"bitrate\": " + std::to_string(r->bitrate) +
                   ", \"duration\": " + std::to_string(r->duration) +
                   ", \"vbr\": " + (r->isVbr ? "true" : "false") + "}";
            flush();
        }
        out += first ? "]\n" : "\n]\n";
    } else {
        out += "Filename\tTrack\tArtist\tAlbum\tTitle\tYear\tBitrate\tDirectory\tGenre\tDuration\n";
        for (const Mp3FileRecord* r : files.Records()) {
            // Names are written as the bytes they have on disk.
            out += Cell(PathToNative(r->fileName)) + '\t' + Cell(U8(r->GetText(kFrameTRCK))) + '\t' +
                   Cell(U8(r->GetText(kFrameTPE1))) + '\t' + Cell(U8(r->GetText(kFrameTALB))) + '\t' +
                   Cell(U8(r->GetText(kFrameTIT2))) + '\t' + Cell(U8(r->GetText(kFrameTDRC))) + '\t' +
                   U8(BitrateText(*r)) + '\t' + Cell(PathToNative(r->directory)) + '\t' +
                   Cell(U8(r->GetGenre())) + '\t' + U8(DurationText(*r)) + '\n';
            flush();
        }
    }
    flush();
    return ExitStatus(prompts, files.PathErrors());
}

}  // namespace quorvane::cli
