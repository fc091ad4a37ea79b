// remove-v1, remove-v2 PATH...: the main window's "Remove ID3v1" and "Remove ID3v2" on
// every file named, then save. Naming the command is the confirmation the window asks for.
#include <memory>

#include "cli/command_line.h"
#include "cli/file_set.h"
#include "cli/save_run.h"

namespace quorvane::cli {

void RegisterRemoveCommands(CommandLine& cli) {
    using Request = void (Mp3FileRecord::*)();
    constexpr std::pair<const char*, Request> kCommands[] = {{"remove-v1", &Mp3FileRecord::RequestRemoveV1},
                                                             {"remove-v2", &Mp3FileRecord::RequestRemoveV2}};
    for (const auto& entry : kCommands) {
        const std::string name = entry.first;
        const Request request = entry.second;
        auto paths = std::make_shared<std::vector<std::string>>();
        CLI::App& command = cli.AddCommand(
            name, "Removes the ID3v" + name.substr(8) + " tag of every file",
            [paths, request](CommandContext& context) {
                if (!context.OpenSettings()) return kExitFileError;
                const FileSet files(context, *paths);
                for (const RecordPtr& record : files.Records()) ((*record).*request)();
                const int status = SaveRecords(context, files.Records());
                return status != kExitOk ? status : files.ExitStatus();
            });
        cli.AddPathArguments(command, *paths);
    }
}

}  // namespace quorvane::cli
