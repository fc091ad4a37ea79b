#include "cli/file_set.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "cli/command_line.h"
#include "library/codec_options.h"
#include "library/directory_loader.h"
#include "library/parallel_load.h"
#include "platform/binary_file.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

constexpr char16_t kOpenError[] = u"Error when opening file";
// Files are loaded on this many threads at once (the machine's cores permitting).
const unsigned kLoadThreads = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);

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
    DropRepeats();
}

void FileSet::DropRepeats() {
    // A file named twice, or named and found in a directory named too (or reached by a
    // link), is worked on once, where it came first. Files are known by what their loads
    // opened: sorted by file and then position, a repeat follows its first.
    std::vector<std::pair<FileIdentity, size_t>> files;
    files.reserve(records_.size());
    for (size_t i = 0; i < records_.size(); ++i)
        if (records_[i]->LoadedFile().IsKnown()) files.emplace_back(records_[i]->LoadedFile(), i);
    std::sort(files.begin(), files.end());
    std::vector<bool> repeat(records_.size(), false);
    for (size_t k = 1; k < files.size(); ++k)
        if (files[k].first == files[k - 1].first) repeat[files[k].second] = true;
    size_t kept = 0;
    for (size_t i = 0; i < records_.size(); ++i)
        if (!repeat[i]) records_[kept++] = std::move(records_[i]);
    records_.resize(kept);
}

void FileSet::KeepUntilExit() {
    // Deliberately never deleted; still reachable, so no leak checker objects.
    static auto* const kept = new std::vector<RecordPtr>();
    kept->insert(kept->end(), std::make_move_iterator(records_.begin()), std::make_move_iterator(records_.end()));
    records_.clear();
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
    std::vector<RecordPtr> found;
    {
        // The scan only finds the files, in its order; they are loaded below.
        DirectoryLoader loader(context_.Prompts(), false);
        loader.SetLoadFunction([this](Mp3FileRecord&) {
            ++found_;
            return true;
        });
        loader.AddDirectory(name);
        loader.ScanPending(context_.Recurse());
        found = loader.TakeNewRecords();
    }
    // Two files at a time, each taken in scan order: its failure reported, the record
    // kept when its file opened.
    size_t loaded = 0;
    LoadInOrder(found, options_, kLoadThreads, [&](size_t index, const Mp3FileRecord::LoadResult& result) {
        if (!result.error.empty()) context_.Prompts().ShowError(ProgramTitle(), result.error);
        ++loaded;
        if (context_.Progress().Enabled())
            context_.Progress().Show(std::to_string(foundBefore + loaded) + " files, " +
                                     PathToNative(found[index]->Directory()));
        if (result.opened) records_.push_back(found[index]);
    });
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
    if (context_.Progress().Enabled())
        context_.Progress().Show(std::to_string(found_) + " files, " + PathToNative(directory));
    if (opened) records_.push_back(std::move(record));
}

}  // namespace quorvane::cli
