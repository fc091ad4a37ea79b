// list: one row per file, in scan order, with the ten columns of the file list.
#include <cstdio>
#include <string_view>
#include <utility>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_text.h"
#include "library/list_columns.h"
#include "platform/settings_store.h"
#include "library/mp3_file_record.h"
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

void AppendCell(std::string& out, std::string_view text) {
    const size_t at = out.size();
    out += text;
    for (size_t i = at; i < out.size(); ++i) {
        if (out[i] == '\t' || out[i] == '\n' || out[i] == '\r') out[i] = ' ';
    }
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
        // A directory's string is made once for the run of records found in it.
        static constexpr std::pair<std::string_view, FrameId> kTextColumns[] = {
            {", \"track\": ", kFrameTRCK}, {", \"artist\": ", kFrameTPE1}, {", \"album\": ", kFrameTALB},
            {", \"title\": ", kFrameTIT2}, {", \"year\": ", kFrameTDRC}};
        std::u16string text;
        std::u16string directory;
        std::string directoryJson;
        bool haveDirectory = false;
        for (const Mp3FileRecord* r : files.Records()) {
            out += first ? "\n" : ",\n";
            first = false;
            // Names as the bytes on disk: a name that is not UTF-8 can still be found again.
            out += "  {\"path\": ";
            out += JsonPathString(PathToNative(r->FullPath()));
            out += ", \"directory\": ";
            if (!haveDirectory || r->directory.str() != directory) {
                directory = r->directory;
                directoryJson = JsonPathString(PathToNative(directory));
                haveDirectory = true;
            }
            out += directoryJson;
            out += ", \"filename\": ";
            out += JsonPathString(PathToNative(r->fileName));
            for (const auto& [name, id] : kTextColumns) {
                out += name;
                r->GetText(id, text);
                out += JsonString(text);
            }
            out += ", \"genre\": ";
            out += JsonString(r->GetGenre());
            out += ", \"bitrate\": ";
            out += std::to_string(r->bitrate);
            out += ", \"duration\": ";
            out += std::to_string(r->duration);
            out += ", \"vbr\": ";
            out += r->isVbr ? "true" : "false";
            out += "}";
            flush();
        }
        out += first ? "]\n" : "\n]\n";
    } else {
        out += "Filename\tTrack\tArtist\tAlbum\tTitle\tYear\tBitrate\tDirectory\tGenre\tDuration\n";
        // Rows are built in place; a directory's cell is made once for the run of
        // records found in it.
        static constexpr FrameId kTextColumns[] = {kFrameTRCK, kFrameTPE1, kFrameTALB, kFrameTIT2, kFrameTDRC};
        std::u16string text;
        std::u16string directory;
        std::string directoryCell;
        bool haveDirectory = false;
        for (const Mp3FileRecord* r : files.Records()) {
            // Names are written as the bytes they have on disk.
            AppendCell(out, PathToNative(r->fileName));
            for (const FrameId id : kTextColumns) {
                out += '\t';
                r->GetText(id, text);
                AppendCell(out, U8(text));
            }
            out += '\t';
            out += U8(BitrateText(*r));
            out += '\t';
            if (!haveDirectory || r->directory.str() != directory) {
                directory = r->directory;
                directoryCell = Cell(PathToNative(directory));
                haveDirectory = true;
            }
            out += directoryCell;
            out += '\t';
            AppendCell(out, U8(r->GetGenre()));
            out += '\t';
            out += U8(DurationText(*r));
            out += '\n';
            flush();
        }
    }
    flush();
    return ExitStatus(prompts, files.PathErrors());
}

}  // namespace quorvane::cli
