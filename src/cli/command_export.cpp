// export m3u|pls|xml --out FILE PATH..., export pictures --dir DIR PATH...: the Export
// menu's commands over the files named, in the order given.
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_text.h"
#include "cli/command_line.h"
#include "cli/file_set.h"
#include "export/export_file.h"
#include "export/m3u_exporter.h"
#include "export/picture_export.h"
#include "export/pls_exporter.h"
#include "export/xml_export.h"
#include "platform/binary_file.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

struct DocumentArguments {
    std::string out;
    std::vector<std::string> paths;
};

// Writes the document to --out, or with --dry-run prints it.
int RunDocument(CommandContext& context, const Exporter& exporter, const std::vector<RecordPtr>& records,
                const std::string& out) {
    if (records.empty()) return kExitOk;
    if (context.Global().dryRun) {
        const std::string document = exporter.Document(records);
        std::fwrite(document.data(), 1, document.size(), stdout);
        return kExitOk;
    }
    ExportDocument(exporter, records, PathFromNative(out), context.Prompts());
    return context.ExitStatus();
}

int Combine(int status, const FileSet& files) { return status != kExitOk ? status : files.ExitStatus(); }

void AddOutOption(CLI::App& command, std::string& out) {
    command.add_option("--out", out, "The file to write (replaced as a whole once the document is complete)")
        ->type_name("FILE")
        ->required();
}

template <class MakeExporter>
void RegisterPlaylist(CommandLine& cli, CLI::App& parent, const std::string& name, const std::string& text,
                      MakeExporter make) {
    auto arguments = std::make_shared<DocumentArguments>();
    CLI::App& command = cli.AddCommand(
        name, text,
        [arguments, make](CommandContext& context) {
            if (!context.OpenSettings()) return kExitFileError;
            const FileSet files(context, arguments->paths);
            const auto exporter = make();
            return Combine(RunDocument(context, *exporter, files.Records(), arguments->out), files);
        },
        &parent);
    AddOutOption(command, arguments->out);
    cli.AddPathArguments(command, arguments->paths);
}

// --- export xml

// A boolean option of the dialog as a pair of flags; unset, the stored value holds.
enum class FlagGroup { Other, V2, V1 };
struct XmlFlag {
    const char* names;  // "--on,!--off"
    const char* help;
    FlagGroup group;
    bool XmlExportOptions::*member;  // FlagGroup::Other
    size_t field;                    // the tag field of V2 and V1
};

using Opts = XmlExportOptions;
constexpr XmlFlag kXmlFlags[] = {
    {"--duration,!--no-duration", "\"Duration\": duration in seconds", FlagGroup::Other, &Opts::duration, 0},
    {"--bitrate,!--no-bitrate", "\"Bitrate\": bitrate in kbit/s", FlagGroup::Other, &Opts::bitrate, 0},
    {"--vbr,!--no-vbr", "\"VBR (true/false)\"", FlagGroup::Other, &Opts::vbr, 0},
    {"--v2-artist,!--no-v2-artist", "ID3v2 artist", FlagGroup::V2, nullptr, kXmlArtist},
    {"--v2-album,!--no-v2-album", "ID3v2 album", FlagGroup::V2, nullptr, kXmlAlbum},
    {"--v2-title,!--no-v2-title", "ID3v2 title", FlagGroup::V2, nullptr, kXmlTitle},
    {"--v2-year,!--no-v2-year", "ID3v2 year", FlagGroup::V2, nullptr, kXmlYear},
    {"--v2-track,!--no-v2-track", "ID3v2 track", FlagGroup::V2, nullptr, kXmlTrack},
    {"--v2-genre,!--no-v2-genre", "ID3v2 genre", FlagGroup::V2, nullptr, kXmlGenre},
    {"--v1-artist,!--no-v1-artist", "ID3v1 artist", FlagGroup::V1, nullptr, kXmlArtist},
    {"--v1-album,!--no-v1-album", "ID3v1 album", FlagGroup::V1, nullptr, kXmlAlbum},
    {"--v1-title,!--no-v1-title", "ID3v1 title", FlagGroup::V1, nullptr, kXmlTitle},
    {"--v1-year,!--no-v1-year", "ID3v1 year", FlagGroup::V1, nullptr, kXmlYear},
    {"--v1-track,!--no-v1-track", "ID3v1 track", FlagGroup::V1, nullptr, kXmlTrack},
    {"--v1-genre,!--no-v1-genre", "ID3v1 genre", FlagGroup::V1, nullptr, kXmlGenre},
    {"--skip-if-empty,!--keep-empty", "\"Skip field if empty\": leave out empty tag fields", FlagGroup::Other,
     &Opts::skipIfEmpty, 0},
};
constexpr size_t kXmlFlagCount = std::size(kXmlFlags);

bool& FlagTarget(XmlExportOptions& options, const XmlFlag& flag) {
    switch (flag.group) {
        case FlagGroup::V2: return options.v2[flag.field];
        case FlagGroup::V1: return options.v1[flag.field];
        case FlagGroup::Other: break;
    }
    return options.*flag.member;
}

struct XmlArguments {
    std::string out;
    std::vector<std::string> levels;
    bool fileName = false, fullPath = false, noLocation = false;
    bool store = false;
    std::array<bool, kXmlFlagCount> flags{};
    std::array<CLI::Option*, kXmlFlagCount> flagOptions{};
    std::vector<std::string> paths;
};

XmlLevel LevelFromWord(const std::string& word) {
    const std::u16string lowered = ToLower(U16(word));
    for (const XmlLevel level : {XmlLevel::Artist, XmlLevel::Album, XmlLevel::Year, XmlLevel::Directory}) {
        if (lowered == ToLower(XmlLevelName(level))) return level;
    }
    return XmlLevel::List;
}

// The stored options with what the command line says on top.
XmlExportOptions XmlOptionsFor(const XmlArguments& arguments) {
    XmlExportOptions options = ReadXmlExportOptions(SettingsStore::Instance());
    if (arguments.fileName) options.location = XmlLocation::FileName;
    if (arguments.fullPath) options.location = XmlLocation::FullPath;
    if (arguments.noLocation) options.location = XmlLocation::None;
    for (size_t i = 0; i < kXmlFlagCount; ++i) {
        if (arguments.flagOptions[i]->count() > 0) FlagTarget(options, kXmlFlags[i]) = arguments.flags[i];
    }
    if (!arguments.levels.empty()) {
        options.levels.fill(XmlLevel::List);
        for (size_t i = 0; i < arguments.levels.size(); ++i) options.levels[i] = LevelFromWord(arguments.levels[i]);
    }
    return options;
}

int RunXml(CommandContext& context, const XmlArguments& arguments) {
    if (arguments.levels.size() > kXmlLevelCount) {
        std::fprintf(stderr,
                     "quorvane-cli export xml: at most %zu levels\nRun 'quorvane-cli export xml --help' for more "
                     "information.\n",
                     kXmlLevelCount);
        return kExitUsage;
    }
    if (!context.OpenSettings()) return kExitFileError;
    const XmlExportOptions options = XmlOptionsFor(arguments);
    const FileSet files(context, arguments.paths);
    if (files.Records().empty()) return files.ExitStatus();
    const XmlExporter exporter(options);
    if (context.Global().dryRun) return Combine(RunDocument(context, exporter, files.Records(), arguments.out), files);
    ExportTarget target;
    if (target.Open(PathFromNative(arguments.out), context.Prompts())) {
        const std::string document = exporter.Document(files.Records());
        // As the dialog's Save does, once the document is built.
        if (arguments.store) WriteXmlExportOptions(options, SettingsStore::Instance());
        target.Commit(document);
    }
    return Combine(context.ExitStatus(), files);
}

void RegisterXml(CommandLine& cli, CLI::App& parent) {
    auto arguments = std::make_shared<XmlArguments>();
    CLI::App& command = cli.AddCommand(
        "xml",
        "Writes an XML listing of the files; options not given come from the stored \"XML\" settings "
        "(those of the desktop program's \"Export XML\" dialog)",
        [arguments](CommandContext& context) { return RunXml(context, *arguments); }, &parent);
    AddOutOption(command, arguments->out);
    command
        .add_option("--level", arguments->levels,
                    "A grouping level, up to four, outermost first; given, it replaces the stored levels")
        ->type_name("LEVEL")
        ->check(CLI::IsMember({"artist", "album", "year", "directory", "list"}, CLI::ignore_case))
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    const std::string location = "Location (one of)";
    auto* fileName =
        command.add_flag("--file-name", arguments->fileName, "\"File name\": the file's name")->group(location);
    auto* fullPath = command.add_flag("--full-path", arguments->fullPath, "\"Full file path\"")->group(location);
    auto* none = command.add_flag("--no-location", arguments->noLocation, "\"No location info\"")->group(location);
    fileName->excludes(fullPath)->excludes(none);
    fullPath->excludes(none);
    const std::string values = "Values (each with a --no- form)";
    for (size_t i = 0; i < kXmlFlagCount; ++i) {
        arguments->flagOptions[i] = command.add_flag(kXmlFlags[i].names, arguments->flags[i], kXmlFlags[i].help)
                                        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
                                        ->group(values);
    }
    command.add_flag("--store-options", arguments->store,
                     "Store the options used as the dialog's, as its Save does");
    cli.AddPathArguments(command, arguments->paths);
}

// --- export pictures

struct PictureArguments {
    std::string dir;
    std::vector<std::string> paths;
};

int RunPictures(CommandContext& context, const PictureArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    const std::vector<RecordPtr>& records = files.Records();
    if (records.empty() || !CheckPicturesToExport(records, context.Prompts())) {
        return Combine(context.ExitStatus(), files);
    }
    const std::u16string directory = PathFromNative(arguments.dir);
    struct stat st {};
    const bool found = ::stat(arguments.dir.c_str(), &st) == 0;
    if (!found || !S_ISDIR(st.st_mode)) {
        const uint32_t error = found ? ENOTDIR : static_cast<uint32_t>(errno);
        ShowFileError(context.Prompts(), kErrorOpeningFile, directory, FileException{error});
        return kExitFileError;
    }
    const PictureExportResult result = ExportPictures(records, directory, context.Prompts(), context.Global().dryRun);
    for (const std::u16string& path : result.written) {
        // As every name the tool prints: its bytes, one line however it is made.
        const std::string line = TsvCell(PathToNative(path)) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return Combine(context.ExitStatus(), files);
}

void RegisterPictures(CommandLine& cli, CLI::App& parent) {
    auto arguments = std::make_shared<PictureArguments>();
    CLI::App& command = cli.AddCommand(
        "pictures",
        "Writes every embedded picture as \"<file> - <picture type>.<ext>\" into DIR (never over an existing "
        "file: \" (2)\", \" (3)\" ... instead) and prints the names written, one a line",
        [arguments](CommandContext& context) { return RunPictures(context, *arguments); }, &parent);
    command.add_option("--dir", arguments->dir, "The directory to write into")->type_name("DIR")->required();
    cli.AddPathArguments(command, arguments->paths);
}

}  // namespace

void RegisterExportCommand(CommandLine& cli) {
    CLI::App& exportCommand =
        cli.AddCommand("export", "Playlists, an XML listing or the pictures of the files", nullptr);
    RegisterPlaylist(cli, exportCommand, "m3u", "Writes an M3U playlist of the files",
                     [] { return std::make_unique<M3uExporter>(); });
    RegisterPlaylist(cli, exportCommand, "pls", "Writes a PLS playlist of the files",
                     [] { return std::make_unique<PlsExporter>(); });
    RegisterXml(cli, exportCommand);
    RegisterPictures(cli, exportCommand);
}

}  // namespace quorvane::cli
