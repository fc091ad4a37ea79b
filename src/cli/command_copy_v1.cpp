// copy-v1 PATH...: "Copy from ID3v1" on every file that has an ID3v1 tag, then saves.
#include <memory>

#include "cli/command_line.h"
#include "cli/edit_run.h"
#include "operations/copy_from_v1.h"
#include "platform/text_codec.h"

namespace quorvane::cli {

void RegisterCopyV1Command(CommandLine& cli) {
    auto paths = std::make_shared<std::vector<std::string>>();
    CLI::App& command = cli.AddCommand(
        "copy-v1", "Fills in each file's ID3v2 title, artist, album, year, genre and track from its ID3v1 tag",
        [paths](CommandContext& context) {
            return RunEdit(context, *paths, [&context](const EditContext& edit, const std::vector<RecordPtr>& records) {
                for (const RecordPtr& record : CopyFieldsFromV1(edit, records).withoutV1) {
                    context.Progress().PrintMessage(PathToNative(record->DiskPath()) + ": no ID3v1 tag, left as it is");
                }
            });
        });
    cli.AddPathArguments(command, *paths);
}

}  // namespace quorvane::cli
