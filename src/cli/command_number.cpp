// number PATH...: the "Track #" toggle pressed, then every file selected in the order
// given: tracks 1, 2, 3..., then saves.
#include <memory>

#include "cli/command_line.h"
#include "cli/edit_run.h"
#include "operations/track_numbering.h"

namespace quorvane::cli {

void RegisterNumberCommand(CommandLine& cli) {
    auto paths = std::make_shared<std::vector<std::string>>();
    CLI::App& command = cli.AddCommand(
        "number", "Sets the tracks (TRCK) to 1, 2, 3... in the order of the files",
        [paths](CommandContext& context) {
            return RunEdit(context, *paths, [](const EditContext& edit, const std::vector<RecordPtr>& records) {
                TrackCounter counter;
                counter.Press();
                for (const RecordPtr& record : records) NumberTrack(edit, record, counter);
            });
        });
    cli.AddPathArguments(command, *paths);
}

}  // namespace quorvane::cli
