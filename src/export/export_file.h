#pragma once
// Writing an exported document to the path the user chose. The file is replaced as a
// whole (temporary file beside it, synced, renamed over it), so a failure never leaves
// half a playlist behind: the old file stays as it was. Failures are reported once,
// as the one file-error box: "Error when opening file" when the file cannot be made,
// "Error when writing to file" when its bytes cannot be written or put in place.
#include <span>
#include <string>
#include <string_view>

#include "export/exporter.h"
#include "platform/atomic_file.h"

namespace quorvane {

class UserPrompts;

inline constexpr std::u16string_view kErrorOpeningFile = u"Error when opening file";
inline constexpr std::u16string_view kErrorWritingFile = u"Error when writing to file";

// The file an export goes to, opened before the document is built (the XML options
// dialog opens after it), written only once the document is there. Dropped without
// Commit (the dialog cancelled), it leaves the old file, or no file, as it was.
class ExportTarget {
public:
    // False after the "Error when opening file" box.
    bool Open(std::u16string_view path, UserPrompts& prompts, SaveFaults* faults = nullptr);
    // Writes the document and puts it in place; false after the "Error when writing to
    // file" box (the old file is then unchanged).
    bool Commit(std::string_view document);

private:
    std::u16string path_;
    UserPrompts* prompts_ = nullptr;
    AtomicFileWriter writer_;
};

// The whole export procedure after the save dialog: opens the target, builds the
// document and writes it. False when a failure was reported; nothing happens (true)
// without targets.
bool ExportDocument(const Exporter& exporter, std::span<const RecordPtr> targets, std::u16string_view path,
                    UserPrompts& prompts, SaveFaults* faults = nullptr);

}  // namespace quorvane
