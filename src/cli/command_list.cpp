// list [--json] PATH...: one row per file with the ten columns of the file list.
#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>

#include "cli/cli_text.h"
#include "cli/command_line.h"
#include "cli/file_set.h"
#include "library/list_columns.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

struct ListArguments {
    bool json = false;
    std::vector<std::string> paths;
};

// The text columns between the file name and the bitrate.
constexpr std::pair<std::string_view, FrameId> kTextColumns[] = {
    {"track", kFrameTRCK}, {"artist", kFrameTPE1}, {"album", kFrameTALB}, {"title", kFrameTIT2}, {"year", kFrameTDRC}};

std::string JsonRow(const Mp3FileRecord& r) {
    // Names as the bytes on disk: a name that is not UTF-8 can still be found again.
    std::string row = "  {\"path\": " + JsonString(r.FullPath()) + ", \"directory\": " + JsonString(r.Directory()) +
                      ", \"filename\": " + JsonString(r.FileName());
    for (const auto& [name, id] : kTextColumns) {
        row += ", \"" + std::string(name) + "\": " + JsonString(r.Tag().GetText(id));
    }
    return row + ", \"genre\": " + JsonString(r.Tag().GetGenre()) + ", \"bitrate\": " +
           std::to_string(r.Stream().bitrate) + ", \"duration\": " + std::to_string(r.Stream().duration) +
           ", \"vbr\": " + (r.Stream().vbr ? "true" : "false") + "}";
}

std::string TsvRow(const Mp3FileRecord& r) {
    std::string row = TsvCell(PathToNative(r.FileName()));
    for (const auto& column : kTextColumns) row += "\t" + TsvCell(U8(r.Tag().GetText(column.second)));
    return row + "\t" + U8(BitrateText(r)) + "\t" + TsvCell(PathToNative(r.Directory())) + "\t" +
           TsvCell(U8(r.Tag().GetGenre())) + "\t" + U8(DurationText(r)) + "\n";
}

int RunList(CommandContext& context, const ListArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    // Rows go out one by one (stdio buffers them), never as one string for all files.
    std::string out = arguments.json ? "[" : "Filename\tTrack\tArtist\tAlbum\tTitle\tYear\tBitrate\tDirectory\tGenre\tDuration\n";
    bool first = true;
    for (const RecordPtr& record : files.Records()) {
        out += arguments.json ? (first ? "\n" : ",\n") + JsonRow(*record) : TsvRow(*record);
        first = false;
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
    }
    if (arguments.json) out += first ? "]\n" : "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return files.ExitStatus();
}

}  // namespace

void RegisterListCommand(CommandLine& cli) {
    auto arguments = std::make_shared<ListArguments>();
    CLI::App& command = cli.AddCommand(
        "list", "One row per file with the ten list columns (TSV with a header line, or JSON)",
        [arguments](CommandContext& context) { return RunList(context, *arguments); });
    command.add_flag("--json", arguments->json, "An array of objects, names kept as their bytes on disk");
    cli.AddPathArguments(command, arguments->paths);
}

}  // namespace quorvane::cli
