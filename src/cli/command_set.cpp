// set --title T ... --v1-genre NAME PATH...: sets ID3v2 and ID3v1 fields of every file,
// then saves.
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "cli/command_line.h"
#include "cli/file_set.h"
#include "cli/save_run.h"
#include "platform/text_codec.h"
#include "tags/id3_tag.h"

namespace quorvane::cli {
namespace {

enum class Target { V2Text, V1String, V1Track, V1Genre };

struct FieldOption {
    const char* name;
    const char* help;
    Target target;
    unsigned id;  // the FrameId, or the ID3v1 string index
};

constexpr FieldOption kOptions[] = {
    {"--title", "TIT2", Target::V2Text, kFrameTIT2},
    {"--artist", "TPE1", Target::V2Text, kFrameTPE1},
    {"--album", "TALB", Target::V2Text, kFrameTALB},
    {"--year", "TDRC (TYER in ID3v2.3)", Target::V2Text, kFrameTDRC},
    {"--track", "TRCK", Target::V2Text, kFrameTRCK},
    {"--genre", "TCON", Target::V2Text, kFrameTCON},
    {"--v1-title", "ID3v1 title", Target::V1String, Id3v1Record::kTitle},
    {"--v1-artist", "ID3v1 artist", Target::V1String, Id3v1Record::kArtist},
    {"--v1-album", "ID3v1 album", Target::V1String, Id3v1Record::kAlbum},
    {"--v1-year", "ID3v1 year", Target::V1String, Id3v1Record::kYear},
    {"--v1-comment", "ID3v1 comment", Target::V1String, Id3v1Record::kComment},
    {"--v1-track", "ID3v1 track, 0 to 255", Target::V1Track, 0},
    {"--v1-genre", "ID3v1 genre by name; empty for none", Target::V1Genre, 0},
};
constexpr size_t kOptionCount = std::size(kOptions);

struct SetArguments {
    std::array<std::string, kOptionCount> values;
    std::array<CLI::Option*, kOptionCount> options{};
    std::vector<std::string> paths;
};

// Empty when the value suits the option, else why not.
std::string CheckValue(Target target, const std::string& value) {
    if (target == Target::V1Track &&
        (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos ||
         std::stoul(value) > 255)) {
        return "takes a number from 0 to 255";
    }
    bool found = true;
    if (target == Target::V1Genre && !value.empty()) GenreIndex(U16(value), &found);
    return found ? std::string() : "unknown genre '" + value + "'";
}

// What an ID3v1 string loses of the value, which the record stores in 8-bit characters of
// a fixed width; empty when nothing.
std::string V1Loss(size_t index, const std::string& value) {
    const CodePage& codePage = CodePage::System();
    const std::u16string text = U16(value);
    const size_t width = Id3v1Record::kWidths[index];
    std::string loss;
    if (!codePage.CanEncode(text)) loss = "characters " + codePage.Name() + " cannot hold are saved as \"?\"";
    if (codePage.Encode(text).size() > width)
        loss += (loss.empty() ? "" : "; ") + std::string("cut to ") + std::to_string(width) + " bytes";
    return loss;
}

void Apply(Id3Tag& tag, const FieldOption& option, const std::string& value) {
    switch (option.target) {
        case Target::V2Text: tag.SetText(option.id, U16(value)); break;
        case Target::V1String: tag.V1().SetString(option.id, U16(value)); break;
        case Target::V1Track: tag.V1().SetTrack(static_cast<uint8_t>(std::stoul(value))); break;
        case Target::V1Genre: tag.V1().SetGenre(value.empty() ? Id3v1Record::kNoGenre : GenreIndex(U16(value))); break;
    }
}

int RunSet(CommandContext& context, const SetArguments& arguments) {
    if (std::none_of(arguments.options.begin(), arguments.options.end(), [](const CLI::Option* o) { return o->count() > 0; })) {
        std::fprintf(stderr, "quorvane-cli set: nothing to set\nRun 'quorvane-cli set --help' for the fields.\n");
        return kExitUsage;
    }
    if (!context.OpenSettings()) return kExitFileError;
    // ID3v1 has no room for some text: said once, the save goes on.
    for (size_t i = 0; i < kOptionCount; ++i) {
        if (kOptions[i].target != Target::V1String || arguments.options[i]->count() == 0) continue;
        const std::string loss = V1Loss(kOptions[i].id, arguments.values[i]);
        if (!loss.empty())
            context.Progress().PrintMessage("quorvane-cli set: " + std::string(kOptions[i].help) + ": " + loss);
    }
    const FileSet files(context, arguments.paths);
    for (const RecordPtr& record : files.Records()) {
        for (size_t i = 0; i < kOptionCount; ++i) {
            if (arguments.options[i]->count() > 0) Apply(record->Tag(), kOptions[i], arguments.values[i]);
        }
    }
    const int status = SaveRecords(context, files.Records());
    return status != kExitOk ? status : files.ExitStatus();
}

}  // namespace

void RegisterSetCommand(CommandLine& cli) {
    auto arguments = std::make_shared<SetArguments>();
    CLI::App& command = cli.AddCommand("set", "Sets ID3v2 and ID3v1 fields of every file, then saves",
                                       [arguments](CommandContext& context) { return RunSet(context, *arguments); });
    for (size_t i = 0; i < kOptionCount; ++i) {
        const Target target = kOptions[i].target;
        arguments->options[i] = command.add_option(kOptions[i].name, arguments->values[i], kOptions[i].help)
                                    ->check([target](const std::string& value) { return CheckValue(target, value); });
    }
    cli.AddPathArguments(command, arguments->paths);
}

}  // namespace quorvane::cli
