#include "library/directory_loader.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "library/codec_options.h"
#include "library/mp3_file_record.h"
#include "library/parallel_load.h"
#include "platform/file_rewrite.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "platform/user_prompts.h"

namespace quorvane {
namespace {

constexpr std::string_view kLoadedDirs = "LoadedDirs";

// Files found are loaded together once this many are waiting, across directories, so
// that two threads stay busy on a tree of small albums too; rows still come one by one.
constexpr size_t kLoadBatch = 1024;

// Closes the enumeration on every path out of the scan.
struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

enum class EntryKind { File, Directory, Other };

EntryKind KindOf(DIR* dir, const dirent& entry) {
    switch (entry.d_type) {
        case DT_REG:
            return EntryKind::File;
        case DT_DIR:
            return EntryKind::Directory;
        case DT_LNK:
        case DT_UNKNOWN: {
            // Links are followed; a dangling one counts as a file, so a dangling
            // "x.mp3" is listed and its load reports the failure.
            struct stat st {};
            if (fstatat(dirfd(dir), entry.d_name, &st, 0) != 0) return EntryKind::File;
            if (S_ISDIR(st.st_mode)) return EntryKind::Directory;
            return S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
        }
        default:
            return EntryKind::Other;  // devices, pipes, sockets
    }
}

}  // namespace

std::u16string NormalizeDirectory(std::u16string_view directory) {
    std::u16string result(directory);
    if (result.size() > 1 && result.back() == u'/') result.pop_back();
    return result;
}

bool HasMp3Extension(std::u16string_view name) {
    const std::u16string_view tail = name.size() > 4 ? name.substr(name.size() - 4) : name;
    return EqualsIgnoreCase(tail, u".mp3");
}

bool IsSkippedDirectoryName(std::u16string_view name) {
    if (name.empty() || name[0] != u'.') return false;
    return name.size() == 1 || name[1] == u'.';
}

DirectoryLoader::DirectoryLoader(UserPrompts& prompts, bool persistLoadedDirs)
    : prompts_(prompts),
      persist_(persistLoadedDirs),
      loadThreads_(std::clamp(std::thread::hardware_concurrency(), 1u, 2u)) {}

DirectoryLoader::~DirectoryLoader() {
    Quit();
    std::lock_guard scan(scanLock_);  // a ScanPending of another thread ends first
    Clear(false);
}

void DirectoryLoader::SetLoadFunction(LoadFunction load) { load_ = std::move(load); }
void DirectoryLoader::SetProgressFunction(ProgressFunction progress) { progress_ = std::move(progress); }
void DirectoryLoader::SetObserver(RecordObserver* observer) { observer_ = observer; }

uint32_t DirectoryLoader::Startup() {
    const uint32_t action = settings::StartupAction();
    if (action == 0) {
        for (const std::u16string& directory : SettingsStore::Instance().ReadStringList(kLoadedDirs)) {
            if (!directory.empty()) AddDirectory(directory);
        }
    } else {
        SettingsStore::Instance().WriteStringList(kLoadedDirs, {});
    }
    return action;
}

void DirectoryLoader::AddDirectory(std::u16string_view directory) {
    const std::u16string normalized = NormalizeDirectory(directory);
    if (normalized.empty()) return;
    {
        std::lock_guard list(listLock_);
        if (std::find(loadedDirectories_.begin(), loadedDirectories_.end(), normalized) !=
            loadedDirectories_.end()) {
            return;
        }
        loadedDirectories_.push_back(normalized);
        if (std::find(pendingDirectories_.begin(), pendingDirectories_.end(), normalized) ==
            pendingDirectories_.end()) {
            pendingDirectories_.push_back(normalized);
        }
    }
    wake_.notify_all();
    // Outside the list lock: a failed write is an error box, and while it is open the
    // window goes on polling the list.
    if (persist_) SettingsStore::Instance().AppendToList(kLoadedDirs, normalized);
}

void DirectoryLoader::RemoveDirectory(std::u16string_view directory) {
    const std::u16string normalized = NormalizeDirectory(directory);
    Records removed;
    {
        std::lock_guard list(listLock_);
        std::erase_if(newRecords_, [&](const RecordPtr& r) { return r->RootDirectory() == normalized; });
        // Walked from the end; the array is closed up once, so removing many records
        // stays linear.
        for (size_t i = records_.size(); i-- > 0;) {
            if (records_[i]->RootDirectory() != normalized) continue;
            if (observer_) observer_->RecordRemoved(records_[i]);
            removed.push_back(std::move(records_[i]));
        }
        std::erase(records_, nullptr);
        std::erase(pendingDirectories_, normalized);
        std::erase(loadedDirectories_, normalized);
        if (!directoryBeingScanned_.empty() && directoryBeingScanned_ == normalized) currentRemoved_ = true;
    }
    if (persist_) SettingsStore::Instance().RemoveFromList(kLoadedDirs, normalized);
    // `removed` is destroyed here, in the order the array was walked (from its end).
}

DirectoryLoader::Records DirectoryLoader::DetachAllLocked() {
    ++generation_;
    newRecords_.clear();
    return std::move(records_);
}

void DirectoryLoader::Refresh() {
    Records retired;
    {
        std::lock_guard list(listLock_);
        retired = DetachAllLocked();
        records_.clear();
        pendingDirectories_ = loadedDirectories_;
    }
    wake_.notify_all();
    while (!retired.empty()) retired.pop_back();
}

void DirectoryLoader::Clear(bool persist) {
    Records retired;
    {
        std::lock_guard list(listLock_);
        retired = DetachAllLocked();
        records_.clear();
        pendingDirectories_.clear();
        loadedDirectories_.clear();
    }
    if (persist && persist_) SettingsStore::Instance().WriteStringList(kLoadedDirs, {});
    while (!retired.empty()) retired.pop_back();  // last first
}

std::vector<RecordPtr> DirectoryLoader::TakeNewRecords() {
    std::lock_guard list(listLock_);
    std::vector<RecordPtr> taken;
    taken.swap(newRecords_);
    return taken;
}

std::vector<RecordPtr> DirectoryLoader::SnapshotRecords() const {
    std::lock_guard list(listLock_);
    return records_;
}

std::vector<RecordPtr> DirectoryLoader::SnapshotRecordsFrom(size_t first) const {
    std::lock_guard list(listLock_);
    if (first >= records_.size()) return {};
    return std::vector<RecordPtr>(records_.begin() + static_cast<std::ptrdiff_t>(first), records_.end());
}

std::vector<RecordPtr> DirectoryLoader::RecordsOfDirectory(std::u16string_view directory) const {
    const std::u16string normalized = NormalizeDirectory(directory);
    std::lock_guard list(listLock_);
    std::vector<RecordPtr> result;
    for (const auto& record : records_) {
        if (record->RootDirectory() == normalized) result.push_back(record);
    }
    return result;
}

size_t DirectoryLoader::RecordCount() const {
    std::lock_guard list(listLock_);
    return records_.size();
}

std::u16string DirectoryLoader::DirectoryBeingScanned() const {
    std::lock_guard list(listLock_);
    return directoryBeingScanned_;
}

std::vector<std::u16string> DirectoryLoader::GetLoadedDirectories() const {
    std::lock_guard list(listLock_);
    return loadedDirectories_;
}

bool DirectoryLoader::IsIdle() const {
    std::lock_guard list(listLock_);
    return pendingDirectories_.empty() && directoryBeingScanned_.empty();
}

void DirectoryLoader::Quit() {
    {
        std::lock_guard list(listLock_);
        quit_ = true;
    }
    wake_.notify_all();
}

bool DirectoryLoader::WaitAndScanNext(bool recurse) {
    {
        // The queue is checked and the wait begun under the lock that AddDirectory
        // and Refresh take to queue and notify: no wake-up falls between the two.
        std::unique_lock list(listLock_);
        wake_.wait(list, [this] { return quit_.load() || !pendingDirectories_.empty(); });
        if (quit_) return false;
    }
    {
        std::lock_guard scan(scanLock_);
        ScanFirstPendingLocked(recurse);
    }
    if (observer_ && IsIdle()) observer_->ScanEnded();
    return !quit_;
}

void DirectoryLoader::ScanPending(bool recurse) {
    std::lock_guard scan(scanLock_);
    for (;;) {
        {
            std::lock_guard list(listLock_);
            if (pendingDirectories_.empty() || quit_) return;
        }
        ScanFirstPendingLocked(recurse);
    }
}

void DirectoryLoader::ScanFirstPendingLocked(bool recurse) {
    ScanState state{};
    {
        std::lock_guard list(listLock_);
        if (pendingDirectories_.empty()) return;
        state.root = pendingDirectories_.front();
        state.rootText = SharedText(state.root);
        state.generation = generation_;
        state.recurse = recurse;
        state.load = load_;
        directoryBeingScanned_ = state.root;
        currentRemoved_ = false;
    }
    // The settings are taken once per scan.
    if (!state.load) state.options = LoadOptionsFromSettings();
    ScanDirectory(state.root, state);
    LoadFound(state);
    std::lock_guard list(listLock_);
    // A scan cut short by Refresh, Clear or the removal of its directory leaves the
    // queue as those left it.
    if (!state.stopped && !currentRemoved_ && generation_ == state.generation) {
        auto it = std::find(pendingDirectories_.begin(), pendingDirectories_.end(), state.root);
        if (it != pendingDirectories_.end()) pendingDirectories_.erase(it);
    }
    directoryBeingScanned_.clear();
    currentRemoved_ = false;
}

bool DirectoryLoader::StopRequested(const ScanState& state) const {
    return state.stopped || ScanCancelled(state);
}

bool DirectoryLoader::ScanCancelled(const ScanState& state) const {
    return quit_.load() || currentRemoved_.load() || generation_.load() != state.generation;
}

void DirectoryLoader::ScanDirectory(const std::u16string& path, ScanState& state) {
    if (StopRequested(state)) return;
    // A directory that cannot be enumerated yields nothing and no message.
    DirHandle dir(opendir(PathToNative(path).c_str()));
    if (!dir) return;
    struct stat self {};
    if (fstat(dirfd(dir.get()), &self) == 0) {
        const DirectoryId id{static_cast<uint64_t>(self.st_dev), static_cast<uint64_t>(self.st_ino)};
        for (const DirectoryId& seen : state.chain) {
            if (seen.device == id.device && seen.inode == id.inode) return;  // a link back up
        }
        state.chain.push_back(id);
    } else {
        state.chain.push_back({0, 0});
    }
    // Every listing takes the files of a directory in the order of their names, then its
    // subdirectories in the same order, whatever order the file system keeps.
    // Files by their bytes on disk, which give the order, and their names as held.
    std::vector<std::pair<std::string, std::u16string>> files;
    std::vector<std::string> subdirectories;
    bool leftovers = false;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view raw(entry->d_name);
        if (raw == "." || raw == "..") continue;
        leftovers = leftovers || IsRewriteLeftover(raw);
        const EntryKind kind = KindOf(dir.get(), *entry);
        if (kind == EntryKind::File) {
            std::u16string name = PathFromNative(raw);
            if (HasMp3Extension(name)) files.emplace_back(raw, std::move(name));
        } else if (kind == EntryKind::Directory && state.recurse) {
            if (!IsSkippedDirectoryName(PathFromNative(raw))) subdirectories.emplace_back(raw);
        }
    }
    dir.reset();
    // Copies left by a killed save go before the files are read: an interrupted save of
    // a file is finished first, so the file is loaded whole.
    if (leftovers) CleanStaleRewrites(path, prompts_);
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::sort(subdirectories.begin(), subdirectories.end());
    const SharedText directory(path);  // held by every record found here
    if (state.load) {
        for (auto& file : files) {
            if (StopRequested(state)) break;
            LoadAndAdd(std::make_shared<Mp3FileRecord>(directory, std::move(file.second), state.rootText), state);
        }
    } else {
        for (auto& file : files)
            state.found.push_back(std::make_shared<Mp3FileRecord>(directory, std::move(file.second), state.rootText));
        if (state.found.size() >= kLoadBatch) LoadFound(state);
    }
    for (const std::string& name : subdirectories) {
        if (StopRequested(state)) break;
        ScanDirectory(JoinPath(path, PathFromNative(name)), state);
    }
    state.chain.pop_back();
}

void DirectoryLoader::LoadAndAdd(RecordPtr record, ScanState& state) {
    const bool opened = state.load(*record);
    Add(std::move(record), opened, state);
}

void DirectoryLoader::LoadFound(ScanState& state) {
    const std::vector<RecordPtr> records = std::move(state.found);
    state.found.clear();
    if (records.empty() || StopRequested(state)) return;
    LoadInOrder(
        records, state.options, loadThreads_,
        [&](size_t index, const Mp3FileRecord::LoadResult& result) {
            // What a stopped scan (Refresh, Clear, removal, Quit) still loads is neither
            // reported nor kept.
            if (StopRequested(state)) return;
            if (!result.error.empty()) prompts_.ShowError(ProgramTitle(), result.error);
            Add(records[index], result.opened, state);
        },
        // Asked on the loading threads too: only what the other threads change.
        [&] { return ScanCancelled(state); });
}

void DirectoryLoader::Add(RecordPtr record, bool opened, ScanState& state) {
    size_t count = 0;
    {
        std::lock_guard list(listLock_);
        if (generation_ != state.generation || currentRemoved_) {
            // Refreshed, cleared or removed while this file was loading: the record
            // was never visible, and the scan ends here.
            state.stopped = true;
        } else if (opened || !skipUnopened_) {
            newRecords_.push_back(record);
            records_.push_back(std::move(record));
            count = records_.size();
        }
    }
    if (count && progress_) progress_(count, state.root);
}

}  // namespace quorvane
