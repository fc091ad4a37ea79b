#pragma once
// The files a command works on: the files and directories named on the command line, in
// the order given. A directory is scanned like "Add directory" (its files sorted by name,
// then its subdirectories, these only when recursing); a file is loaded as it is named.
// The files a scan finds are loaded on two threads, and taken (reported, listed) in the
// scan's order.
//
// Every failure is reported once through the context's prompts (and so counts for the
// exit status): a file that cannot be opened (by LoadFile's message; it gets no record),
// a path that is neither a directory nor an .mp3 file. A directory without any MP3 file
// is named on standard error ("No MP3 files in DIR"); when no file at all was found, that
// counts as a failure too.
#include <cstddef>
#include <string>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane::cli {

class CommandContext;

class FileSet {
public:
    // Loads every path; needs the settings open (the "Recurse" and load settings).
    FileSet(CommandContext& context, const std::vector<std::string>& paths);

    const std::vector<RecordPtr>& Records() const { return records_; }
    // Hands the records to the process, which keeps them until it exits instead of
    // destroying them one by one: for a command that is done with them (Records() is
    // empty afterwards). The desktop program has no such shortcut.
    void KeepUntilExit();
    // No file was found at all, or a failure was reported: status 1.
    int ExitStatus() const;

private:
    void AddDirectory(const std::string& path);
    void AddFile(const std::string& path);
    void DropRepeats();

    CommandContext& context_;
    LoadOptions options_;
    std::vector<RecordPtr> records_;
    size_t found_ = 0;  // files found, opened or not
};

}  // namespace quorvane::cli
