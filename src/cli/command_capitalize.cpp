// capitalize PATH...: "Capitalize" on the lead artist, album and title of every file,
// then saves.
#include <memory>

#include "cli/command_line.h"
#include "cli/edit_run.h"
#include "operations/text_fields.h"

namespace quorvane::cli {

void RegisterCapitalizeCommand(CommandLine& cli) {
    auto paths = std::make_shared<std::vector<std::string>>();
    CLI::App& command = cli.AddCommand(
        "capitalize", "Capitalizes the first letter of each word of the artist, album and title (TPE1, TALB, TIT2)",
        [paths](CommandContext& context) {
            return RunEdit(context, *paths, [](const EditContext& edit, const std::vector<RecordPtr>& records) {
                CapitalizeFields(edit, records);
            });
        });
    cli.AddPathArguments(command, *paths);
}

}  // namespace quorvane::cli
