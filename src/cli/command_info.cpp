// info [--json] PATH...: bitrate, VBR mark and duration of each file, as the file list
// shows them.
#include <cstdio>
#include <memory>

#include "cli/cli_text.h"
#include "cli/listing_output.h"
#include "cli/command_line.h"
#include "cli/file_set.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

struct InfoArguments {
    bool json = false;
    std::vector<std::string> paths;
};

int RunInfo(CommandContext& context, const InfoArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    ListingOutput listing(arguments.json, "Path\tBitrate\tVBR\tDuration\n");
    for (const RecordPtr& record : files.Records()) {
        const StreamFigures& stream = record->Stream();
        std::string& out = listing.NextRow();
        if (arguments.json) {
            out += "  {\"path\": " + JsonString(record->DiskPath()) + ", \"bitrate\": " +
                   std::to_string(stream.bitrate) + ", \"vbr\": " + (stream.vbr ? "true" : "false") +
                   ", \"duration\": " + std::to_string(stream.duration) + "}";
        } else {
            out += TsvCell(PathToNative(record->DiskPath())) + "\t" + std::to_string(stream.bitrate) +
                   (stream.vbr ? "\t1\t" : "\t0\t") + std::to_string(stream.duration) + "\n";
        }
    }
    listing.Finish();
    return files.ExitStatus();
}

}  // namespace

void RegisterInfoCommand(CommandLine& cli) {
    auto arguments = std::make_shared<InfoArguments>();
    CLI::App& command = cli.AddCommand(
        "info", "Bitrate, VBR flag (1/0) and duration in seconds of each file",
        [arguments](CommandContext& context) { return RunInfo(context, *arguments); });
    command.add_flag("--json", arguments->json, "An array of {path, bitrate, vbr, duration}");
    cli.AddPathArguments(command, arguments->paths);
}

}  // namespace quorvane::cli
