// list [--json] PATH...: one row per file with the ten columns of the file list.
#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>

#include "cli/cli_text.h"
#include "cli/listing_output.h"
#include "cli/command_line.h"
#include "cli/file_set.h"
#include "library/list_columns.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

using namespace std::string_view_literals;

struct ListArguments {
    bool json = false;
    std::vector<std::string> paths;
};

// The text columns between the file name and the bitrate.
constexpr std::pair<std::string_view, FrameId> kTextColumns[] = {
    {"track", kFrameTRCK}, {"artist", kFrameTPE1}, {"album", kFrameTALB}, {"title", kFrameTIT2}, {"year", kFrameTDRC}};

// The first text of the frame, as Id3Tag::GetText gives it, without copying it.
std::u16string_view TextOf(const Id3Tag& tag, FrameId id) {
    const Id3Frame* frame = tag.FindFrame(id);
    const TextField* field = frame ? frame->Text() : nullptr;
    return field ? std::u16string_view(field->Text()) : std::u16string_view();
}

// Rows are appended to one buffer: a listing of many files makes no string per cell.
void AppendJsonRow(std::string& out, const Mp3FileRecord& r) {
    // Names as the bytes on disk: a name that is not UTF-8 can still be found again.
    out += "  {\"path\": "sv;
    AppendJson(out, r.FullPath());
    out += ", \"directory\": "sv;
    AppendJson(out, r.Directory());
    out += ", \"filename\": "sv;
    AppendJson(out, r.FileName());
    for (const auto& [name, id] : kTextColumns) {
        out += ", \""sv;
        out += name;
        out += "\": "sv;
        AppendJson(out, TextOf(r.Tag(), id));
    }
    out += ", \"genre\": "sv;
    AppendJson(out, r.Tag().GetGenre());
    out += ", \"bitrate\": "sv;
    out += std::to_string(r.Stream().bitrate);
    out += ", \"duration\": "sv;
    out += std::to_string(r.Stream().duration);
    out += ", \"vbr\": "sv;
    out += r.Stream().vbr ? "true}"sv : "false}"sv;
}

void AppendTsvRow(std::string& out, const Mp3FileRecord& r) {
    AppendTsvCell(out, PathToNative(r.FileName()));
    for (const auto& column : kTextColumns) {
        out += '\t';
        AppendTsvCell(out, U8(TextOf(r.Tag(), column.second)));
    }
    out += '\t';
    out += U8(BitrateText(r));
    out += '\t';
    AppendTsvCell(out, PathToNative(r.Directory()));
    out += '\t';
    AppendTsvCell(out, U8(r.Tag().GetGenre()));
    out += '\t';
    out += U8(DurationText(r));
    out += '\n';
}

int RunList(CommandContext& context, const ListArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    FileSet files(context, arguments.paths);
    ListingOutput listing(arguments.json,
                          "Filename\tTrack\tArtist\tAlbum\tTitle\tYear\tBitrate\tDirectory\tGenre\tDuration\n");
    for (const RecordPtr& record : files.Records()) {
        if (arguments.json) {
            AppendJsonRow(listing.NextRow(), *record);
        } else {
            AppendTsvRow(listing.NextRow(), *record);
        }
    }
    listing.Finish();
    // The records go with the process: destroying thousands of tags one by one would
    // cost a good part of the listing.
    files.KeepUntilExit();
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
