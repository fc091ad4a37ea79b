#include "cli/file_set.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <set>
#include <utility>

#include "cli/command_line.h"
#include "library/codec_options.h"
#include "library/directory_loader.h"
#include "platform/binary_file.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

constexpr char16_t kOpenError[] = u"Error when opening file";

}  // namespace

FileSet::FileSet(CommandContext& context, const std::vector<std::string>& paths)
    : context_(context), options_(LoadOptionsFromSettings()) {
    for (const std::string& path : paths) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            AddDirectory(path);
        } else {
            AddFile(path);
        }
    }
    context_.Progress().Clear();
    // A file named twice, or named and found in a directory named too, is worked on once.
    std::set<std::pair<dev_t, ino_t>> seen;
    std::erase_if(records_, [&seen](const RecordPtr& record) {
        struct stat st {};
        return stat(PathToNative(record->DiskPath()).c_str(), &st) == 0 && !seen.insert({st.st_dev, st.st_ino}).second;
    });
}

int FileSet::ExitStatus() const { return found_ == 0 ? kExitFileError : context_.ExitStatus(); }

void FileSet::AddDirectory(const std::string& path) {
    const std::u16string name = PathFromNative(path);
    // The scan passes over a directory it cannot read in silence; one named by the user
    // is reported.
    if (DIR* dir = opendir(path.c_str())) {
        closedir(dir);
    } else {
        ShowFileError(context_.Prompts(), kOpenError, name, FileException{static_cast<uint32_t>(errno)});
        return;
    }
    const size_t foundBefore = found_;
    DirectoryLoader loader(context_.Prompts(), false);
    loader.SetSkipUnopened(true);
    loader.SetLoadFunction([this](Mp3FileRecord& record) {
        ++found_;
        const bool opened = record.LoadFile(context_.Prompts(), options_);
        context_.Progress().Show(std::to_string(found_) + " files, " + PathToNative(record.Directory()));
        return opened;
    });
    loader.AddDirectory(name);
    loader.ScanPending(context_.Recurse());
    for (RecordPtr& record : loader.TakeNewRecords()) records_.push_back(std::move(record));
    if (found_ == foundBefore) context_.Prompts().ShowInformation(ProgramTitle(), u"No MP3 files in " + name);
}

void FileSet::AddFile(const std::string& path) {
    const std::u16string name = PathFromNative(path);
    // Split like the scan does: the directory part, or "." for a bare name.
    const size_t slash = name.rfind(u'/');
    const std::u16string directory = slash == std::u16string::npos ? std::u16string(u".")
                                     : slash == 0                  ? std::u16string(u"/")
                                                                   : name.substr(0, slash);
    const std::u16string file = slash == std::u16string::npos ? name : name.substr(slash + 1);
    if (!HasMp3Extension(file)) {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            ShowFileError(context_.Prompts(), kOpenError, name, FileException{static_cast<uint32_t>(errno)});
        } else {
            context_.Prompts().ShowError(ProgramTitle(), u"\"" + name + u"\" is neither a directory nor an .mp3 file");
        }
        return;
    }
    ++found_;
    const SharedText shared(directory);
    auto record = std::make_shared<Mp3FileRecord>(shared, file, shared);
    const bool opened = record->LoadFile(context_.Prompts(), options_);
    context_.Progress().Show(std::to_string(found_) + " files, " + PathToNative(directory));
    if (opened) records_.push_back(std::move(record));
}

}  // namespace quorvane::cli
