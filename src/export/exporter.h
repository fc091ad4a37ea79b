#pragma once
// What the export procedure needs from a format: the save dialog's filter and default
// extension, and the document for the target files. The window (or the CLI) supplies
// the targets and the chosen path; export_file.h writes the document.
#include <span>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane {

// One entry of a save dialog's file-type list.
struct FileFilter {
    std::u16string name;     // "M3U Files"
    std::u16string pattern;  // "*.m3u"
    bool operator==(const FileFilter&) const = default;
};

class Exporter {
public:
    virtual ~Exporter() = default;
    virtual std::vector<FileFilter> Filters() const = 0;
    virtual std::u16string DefaultExtension() const = 0;
    // The whole file, for the targets in target order.
    virtual std::string Document(std::span<const RecordPtr> targets) const = 0;
};

// Where the save dialog and the folder browser start: the directory of the first target
// file, with a separator at the end; empty without targets.
std::u16string ExportStartDirectory(std::span<const RecordPtr> targets);

}  // namespace quorvane
