// picture add|delete|delete-all|list PATH...: the Pictures tab and its "Edit Picture Tag"
// dialog on every file named, then save (list only reads).
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "cli/cli_text.h"
#include "cli/listing_output.h"
#include "cli/command_line.h"
#include "cli/file_set.h"
#include "cli/save_run.h"
#include "library/edit_gate.h"
#include "library/picture_decoder.h"
#include "operations/delete_pictures.h"
#include "operations/image_file.h"
#include "operations/set_pictures.h"
#include "platform/text_codec.h"
#include "tags/id3_tag.h"

namespace quorvane::cli {
namespace {

struct PictureArguments {
    std::string file;
    int type = 0;
    std::string description;
    CLI::Option* descriptionOption = nullptr;
    bool json = false;
    std::vector<std::string> paths;
};

std::string TypeText(uint8_t type) { return std::to_string(type) + " " + JsonString(PictureTypeName(type)); }

std::string DescriptionOf(const Id3Frame& frame) {
    const TextField* text = frame.Text(FieldRole::Description);
    return text ? U8(text->Text()) : std::string();
}

// What a dry run prints: one line per file the command changes.
void PrintChange(const Mp3FileRecord& record, const std::string& change) {
    std::printf("%s: %s\n", PathToNative(record.DiskPath()).c_str(), change.c_str());
}

int Finish(CommandContext& context, const FileSet& files) {
    const int status = SaveRecords(context, files.Records());
    return status != kExitOk ? status : files.ExitStatus();
}

int RunAdd(CommandContext& context, const PictureArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    const std::optional<ImageFile> image = LoadImageFile(PathFromNative(arguments.file), context.Prompts());
    if (!image) return kExitFileError;
    const FileSet files(context, arguments.paths);
    const auto type = static_cast<uint8_t>(arguments.type);
    PictureChange change;
    change.type = type;
    if (arguments.descriptionOption->count() > 0) change.description = U16(arguments.description);
    change.image = &*image;
    if (context.Global().dryRun) {
        for (const RecordPtr& record : files.Records()) {
            const Id3Frame* old = record->Tag().FindPicture(type);
            PrintChange(*record, std::string(old ? "replace" : "add") + " picture " + TypeText(type) + ", " +
                                     PictureMimeType(image->format) + ", " + std::to_string(image->bytes.size()) +
                                     " bytes");
        }
    }
    if (!SetPictures(files.Records(), change, NoSaveRunning(), context.Prompts())) return kExitFileError;
    return Finish(context, files);
}

int RunDelete(CommandContext& context, const PictureArguments& arguments, bool all) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    const auto type = static_cast<uint8_t>(arguments.type);
    if (context.Global().dryRun) {
        for (const RecordPtr& record : files.Records()) {
            const Id3Tag& tag = record->Tag();
            size_t count = 0;
            for (const Id3Frame* f = tag.FindFrame(kFrameAPIC); f; f = tag.FindFrame(kFrameAPIC, f)) ++count;
            if (all && count > 0) PrintChange(*record, "delete " + std::to_string(count) + " picture(s)");
            if (!all && tag.FindPicture(type)) PrintChange(*record, "delete picture " + TypeText(type));
        }
    }
    const NoSaveRunning gate;
    if (all) {
        DeleteAllPictures(files.Records(), gate, context.Prompts());
    } else {
        DeletePicture(files.Records(), type, gate, context.Prompts());
    }
    return Finish(context, files);
}

struct Size {
    bool known = false;
    uint32_t width = 0;
    uint32_t height = 0;
};

int RunList(CommandContext& context, const PictureArguments& arguments) {
    if (!context.OpenSettings()) return kExitFileError;
    const FileSet files(context, arguments.paths);
    std::map<std::string, Size> sizes;  // by checksum: a cover shared by an album is decoded once
    ListingOutput listing(arguments.json, "Path\tType\tType name\tMIME\tDescription\tSize\tSHA-256\tWidth x height\n");
    for (const RecordPtr& record : files.Records()) {
        const Id3Tag& tag = record->Tag();
        for (const Id3Frame* frame = tag.FindFrame(kFrameAPIC); frame; frame = tag.FindFrame(kFrameAPIC, frame)) {
            const uint8_t type = PictureTypeOf(*frame);
            const AsciiField* mimeField = frame->Ascii(FieldRole::MimeType);
            const std::string mime = mimeField ? mimeField->Value() : std::string();
            const DataField* dataField = frame->Data(FieldRole::PictureData);
            const std::vector<uint8_t> none;
            const std::vector<uint8_t>& data = dataField ? dataField->Data() : none;
            const std::string sha = Sha256Hex(data);
            auto [at, added] = sizes.try_emplace(sha);
            if (added) {
                const DecodeResult decoded = DecodePicture(PictureFormatFromMime(mime), data);
                if (decoded) at->second = {true, decoded.Image().width, decoded.Image().height};
            }
            const Size& size = at->second;
            const std::string description = DescriptionOf(*frame);
            std::string& out = listing.NextRow();
            if (arguments.json) {
                out += "  {\"path\": " + JsonString(record->DiskPath()) +
                       ", \"type\": " + std::to_string(type) + ", \"typeName\": " + JsonString(PictureTypeName(type)) +
                       ", \"mime\": " + JsonLatin1(mime) + ", \"description\": " + JsonString(U16(description)) +
                       ", \"size\": " + std::to_string(data.size()) + ", \"sha256\": \"" + sha + "\", \"width\": " +
                       (size.known ? std::to_string(size.width) : "null") +
                       ", \"height\": " + (size.known ? std::to_string(size.height) : "null") + "}";
            } else {
                out += TsvCell(PathToNative(record->DiskPath())) + "\t" + std::to_string(type) + "\t" +
                       TsvCell(U8(PictureTypeName(type))) + "\t" + TsvCell(mime) + "\t" + TsvCell(description) + "\t" +
                       std::to_string(data.size()) + "\t" + sha + "\t" +
                       (size.known ? std::to_string(size.width) + "x" + std::to_string(size.height) : "") + "\n";
            }
        }
    }
    listing.Finish();
    return files.ExitStatus();
}

CLI::Option* AddTypeOption(CLI::App& command, PictureArguments& arguments) {
    return command.add_option("--type", arguments.type, "Picture type, 0 to 20 (3: Cover (front))")
        ->required()
        ->check(CLI::Range(0, kPictureTypeCount - 1));
}

}  // namespace

void RegisterPictureCommand(CommandLine& cli) {
    CLI::App& picture = cli.AddCommand("picture", "Adds, deletes and lists embedded pictures", nullptr);

    auto add = std::make_shared<PictureArguments>();
    CLI::App& addCommand = cli.AddCommand(
        "add", "Adds or replaces the picture of one type in every file, then saves",
        [add](CommandContext& context) { return RunAdd(context, *add); }, &picture);
    addCommand.add_option("--file", add->file, "A JPEG or PNG file (.jpg, .jpeg or .png)")->required()->type_name("IMAGE");
    AddTypeOption(addCommand, *add);
    add->descriptionOption =
        addCommand.add_option("--description", add->description, "Description, at most 64 characters; "
                                                                   "without it each file keeps its own")
            ->check([](const std::string& value) {
                return U16(value).size() > kPictureDescriptionLimit ? std::string("at most 64 characters")
                                                                     : std::string();
            });
    cli.AddPathArguments(addCommand, add->paths);

    auto remove = std::make_shared<PictureArguments>();
    CLI::App& deleteCommand = cli.AddCommand(
        "delete", "Deletes the first picture of one type from every file, then saves",
        [remove](CommandContext& context) { return RunDelete(context, *remove, false); }, &picture);
    AddTypeOption(deleteCommand, *remove);
    cli.AddPathArguments(deleteCommand, remove->paths);

    auto removeAll = std::make_shared<PictureArguments>();
    CLI::App& deleteAllCommand = cli.AddCommand(
        "delete-all", "Deletes every picture of every file, then saves",
        [removeAll](CommandContext& context) { return RunDelete(context, *removeAll, true); }, &picture);
    cli.AddPathArguments(deleteAllCommand, removeAll->paths);

    auto list = std::make_shared<PictureArguments>();
    CLI::App& listCommand = cli.AddCommand(
        "list", "Lists every picture of every file: type, MIME type, description, size, SHA-256, dimensions",
        [list](CommandContext& context) { return RunList(context, *list); }, &picture);
    listCommand.add_flag("--json", list->json, "Write JSON instead of tab-separated lines");
    cli.AddPathArguments(listCommand, list->paths);
}

}  // namespace quorvane::cli
