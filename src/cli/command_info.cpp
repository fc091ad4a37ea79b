// quorvane-cli info [--json] PATH...
// Bitrate, VBR mark and duration of MP3 files, as the file list shows them.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_text.h"
#include "platform/binary_file.h"
#include "mp3/id3v2_header.h"
#include "mp3/mpeg_stream.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"

namespace quorvane::cli {
namespace {
namespace fs = std::filesystem;

constexpr char kUsage[] = "usage: quorvane-cli info [--json] PATH...\n";
constexpr char16_t kOpenError[] = u"Error when opening file";
constexpr char16_t kParseError[] = u"Error when parsing file";

struct InfoOptions {
    bool json = false;
    std::vector<std::string> paths;
};

struct FileInfo {
    MpegStreamInfo stream;
    uint32_t duration = 0;
};

bool HasMp3Extension(std::string_view name) {
    if (name.size() < 4) return false;
    const std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && (ext[1] | 0x20) == 'm' && (ext[2] | 0x20) == 'p' && ext[3] == '3';
}

void ReportError(UserPrompts& prompts, std::u16string_view prefix, std::string_view nativePath, int error) {
    ShowFileError(prompts, prefix, PathFromNative(nativePath), FileException{static_cast<uint32_t>(error)});
}

// Every .mp3 file below `root`, sorted by name for a stable order. Symbolic links to
// directories are not followed (they could loop); links to files are taken.
std::vector<std::string> CollectMp3Files(const fs::path& root, UserPrompts& prompts) {
    std::vector<std::string> files;
    std::vector<fs::path> pending = {root};
    while (!pending.empty()) {
        const fs::path dir = std::move(pending.back());
        pending.pop_back();
        std::error_code ec;
        fs::directory_iterator it(dir, ec);
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::error_code statError;
            if (it->is_symlink(statError)) {
                if (it->is_regular_file(statError) && HasMp3Extension(it->path().filename().native()))
                    files.push_back(it->path().native());
            } else if (it->is_directory(statError)) {
                pending.push_back(it->path());
            } else if (it->is_regular_file(statError) && HasMp3Extension(it->path().filename().native())) {
                files.push_back(it->path().native());
            }
        }
        if (ec) ReportError(prompts, kOpenError, dir.native(), ec.value());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The same steps as loading a file into the list, without the tags' frames.
std::optional<FileInfo> AnalyzeFile(const std::string& path, UserPrompts& prompts) {
    const std::u16string name = PathFromNative(path);
    BinaryFile file;
    uint32_t error = 0;
    if (!file.Open(name, OpenMode::Read, error)) {
        ShowFileError(prompts, kOpenError, name, FileException{error});
        return std::nullopt;
    }
    try {
        FileInfo info;
        const uint64_t audioStart = ReadAudioStart(file);
        info.stream = ReadStreamInfo(file, audioStart);
        info.duration = info.stream.duration;
        return info;
    } catch (const FileException& e) {
        ShowFileError(prompts, kParseError, name, e);
        return std::nullopt;
    }
}

// Writes the listing as the files come, so a large tree starts printing at once.
class InfoPrinter {
public:
    explicit InfoPrinter(bool json) : json_(json) {
        if (json_) std::fputs("[", stdout);
    }

    void Print(const std::string& path, const FileInfo& info) {
        std::string line;
        if (json_) {
            line = first_ ? "\n  {\"path\": " : ",\n  {\"path\": ";
            line += JsonPathString(path);
            line += ", \"bitrate\": " + std::to_string(info.stream.bitrate);
            line += info.stream.vbr ? ", \"vbr\": true" : ", \"vbr\": false";
            line += ", \"duration\": " + std::to_string(info.duration) + "}";
        } else {
            line = TabFieldPath(path);
            line += '\t' + std::to_string(info.stream.bitrate);
            line += info.stream.vbr ? "\t1\t" : "\t0\t";
            line += std::to_string(info.duration) + "\n";
        }
        first_ = false;
        std::fwrite(line.data(), 1, line.size(), stdout);
    }

    // False when standard output could not take everything.
    bool Finish() {
        if (json_) std::fputs(first_ ? "]\n" : "\n]\n", stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout);
    }

private:
    bool json_;
    bool first_ = true;
};

// nullopt for a usage error (already reported).
std::optional<InfoOptions> ParseArguments(const std::vector<std::string>& args, bool& help) {
    InfoOptions options;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--json") {
                options.json = true;
            } else if (arg == "--help" || arg == "-h") {
                help = true;
            } else {
                std::fprintf(stderr, "quorvane-cli info: unknown option '%s'\n%s", arg.c_str(), kUsage);
                return std::nullopt;
            }
        } else {
            options.paths.push_back(arg);
        }
    }
    if (!help && options.paths.empty()) {
        std::fprintf(stderr, "quorvane-cli info: no PATH given\n%s", kUsage);
        return std::nullopt;
    }
    return options;
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
    bool help = false;
    const std::optional<InfoOptions> options = ParseArguments(args, help);
    if (help) {
        std::fputs(kUsage, stdout);
        std::fputs("Lists PATH\\tBITRATE\\tVBR(1/0)\\tDURATION for each file, or with --json an array of\n"
                   "{\"path\", \"bitrate\", \"vbr\", \"duration\"}. Directories give every .mp3 file below them.\n",
                   stdout);
        return kExitOk;
    }
    if (!options) return kExitUsage;

    StderrPrompts prompts;
    InfoPrinter printer(options->json);
    for (const std::string& path : options->paths) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            for (const std::string& file : CollectMp3Files(path, prompts)) {
                if (const auto info = AnalyzeFile(file, prompts)) printer.Print(file, *info);
            }
        } else if (const auto info = AnalyzeFile(path, prompts)) {
            // A file named on the command line is taken whatever its extension.
            printer.Print(path, *info);
        }
    }
    if (!printer.Finish()) {
        std::fprintf(stderr, "quorvane-cli info: cannot write the listing: %s\n", std::strerror(errno));
        return kExitFileError;
    }
    return prompts.ErrorCount() == 0 ? kExitOk : kExitFileError;
}

}  // namespace quorvane::cli
