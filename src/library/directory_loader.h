#pragma once
// The file list: the loaded directories, the queue of directories still to scan and
// the record of every MP3 file found. Shared by the user-interface thread, the loader
// thread and the saver; every access goes through its locks.
//
// Locks: scanLock (held for the whole scan of one directory) before listLock (held
// only for short moments, never while a file is loaded or a question is open).
// Refresh and Clear take only listLock: they retire the records at once and bump the
// generation, which stops the running scan after its current entry and makes it drop
// what it still finds. So the user-interface thread never waits for a scan that is
// itself waiting for the user to answer a message box.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"

namespace quorvane {

class UserPrompts;

class RecordObserver {
public:
    virtual ~RecordObserver() = default;
    // Each record that RemoveDirectory takes out of the list (under the list lock, on the
    // thread that called RemoveDirectory).
    virtual void RecordRemoved(const RecordPtr& record) = 0;
    // The loader thread ended a scan and nothing else is queued: the last records are
    // there to take (on the loader thread, no lock held).
    virtual void ScanEnded() {}
};

// One trailing separator removed; the root "/" stays as it is.
std::u16string NormalizeDirectory(std::u16string_view directory);

// True for a name that ends in ".mp3" in any case.
bool HasMp3Extension(std::u16string_view name);

// A subdirectory the scan does not enter: "." and every name starting with "..".
bool IsSkippedDirectoryName(std::u16string_view name);

class DirectoryLoader {
public:
    // `persistLoadedDirs`: keep "LoadedDirs" in the settings store up to date (the
    // desktop program); the command-line tool leaves it alone.
    explicit DirectoryLoader(UserPrompts& prompts, bool persistLoadedDirs = true);
    // Destroys every record. The LoaderThread and any save must have ended before.
    ~DirectoryLoader();
    DirectoryLoader(const DirectoryLoader&) = delete;
    DirectoryLoader& operator=(const DirectoryLoader&) = delete;

    // How each found file is loaded; LoadFile with the options the settings give at the
    // start of each scan, by default. False when the file could not be opened. Tests
    // replace it.
    using LoadFunction = std::function<bool(Mp3FileRecord&)>;
    void SetLoadFunction(LoadFunction load);
    // Threads that read the files of a directory at once under the default load (the
    // scanning thread among them); records still arrive in the scan's order.
    void SetLoadThreads(unsigned threads) { loadThreads_ = threads; }
    // Called after each file is loaded, on the scanning thread (progress output).
    using ProgressFunction = std::function<void(size_t recordCount, const std::u16string& directory)>;
    // Records of files that could not be opened are kept out of the list (the
    // command-line tool); the window lists them, empty.
    void SetSkipUnopened(bool skip) { skipUnopened_ = skip; }
    void SetProgressFunction(ProgressFunction progress);
    void SetObserver(RecordObserver* observer);

    // "StartupAction": 0 adds the directories of "LoadedDirs"; otherwise "LoadedDirs"
    // is emptied. Returns the action (1: the caller asks for a directory).
    uint32_t Startup();

    void AddDirectory(std::u16string_view directory);
    void RemoveDirectory(std::u16string_view directory);
    // Forgets every record and scans every loaded directory again.
    void Refresh();
    // Forgets every directory and record; `persist` empties "LoadedDirs" too.
    void Clear(bool persist);

    std::vector<RecordPtr> TakeNewRecords();
    std::vector<RecordPtr> SnapshotRecords() const;
    // The records from array index `first` on (those added after a snapshot of that
    // size, as long as no record was removed in between).
    std::vector<RecordPtr> SnapshotRecordsFrom(size_t first) const;
    std::vector<RecordPtr> RecordsOfDirectory(std::u16string_view directory) const;
    size_t RecordCount() const;
    // The loaded directory whose scan is running; empty when the loader is idle.
    std::u16string DirectoryBeingScanned() const;
    std::vector<std::u16string> GetLoadedDirectories() const;
    // Nothing queued and nothing being scanned.
    bool IsIdle() const;

    // The loader thread's step: waits until a directory is pending (or Quit), then
    // scans it. False once Quit was called.
    bool WaitAndScanNext(bool recurse);
    // Scans, on the calling thread, until nothing is pending (the command-line tool).
    void ScanPending(bool recurse);
    // Ends WaitAndScanNext and stops a running scan after its current entry.
    void Quit();

private:
    using Records = std::vector<RecordPtr>;
    struct DirectoryId {
        uint64_t device, inode;
    };
    struct ScanState {
        std::u16string root;
        SharedText rootText;  // root, as the records hold it
        LoadFunction load;        // set by a test; empty: Mp3FileRecord::Load with `options`
        LoadOptions options;
        uint64_t generation;
        bool recurse;
        bool stopped = false;
        std::vector<RecordPtr> found;    // found, in scan order, waiting to be loaded
        std::vector<DirectoryId> chain;  // directories being scanned, against link loops
    };

    // Takes the first pending directory and scans it; scanLock must be held.
    void ScanFirstPendingLocked(bool recurse);
    void ScanDirectory(const std::u16string& path, ScanState& state);
    void LoadAndAdd(RecordPtr record, ScanState& state);
    // Loads the records found so far on loadThreads_ threads and adds them in their order.
    void LoadFound(ScanState& state);
    void Add(RecordPtr record, bool opened, ScanState& state);
    bool StopRequested(const ScanState& state) const;
    // Refresh, Clear, the removal of the directory or Quit: what other threads ask.
    bool ScanCancelled(const ScanState& state) const;
    Records DetachAllLocked();

    UserPrompts& prompts_;
    const bool persist_;
    LoadFunction load_;
    ProgressFunction progress_;
    bool skipUnopened_ = false;
    unsigned loadThreads_;
    RecordObserver* observer_ = nullptr;

    std::mutex scanLock_;
    mutable std::mutex listLock_;
    std::condition_variable wake_;  // with listLock_: a directory was queued, or Quit
    std::vector<std::u16string> loadedDirectories_;
    std::vector<std::u16string> pendingDirectories_;
    Records records_;
    std::vector<RecordPtr> newRecords_;
    std::u16string directoryBeingScanned_;
    // Bumped by Refresh and Clear under listLock; a scan of an older generation stops
    // and its records are dropped.
    std::atomic<uint64_t> generation_{0};
    // Set by RemoveDirectory of the directory being scanned (under listLock): that scan
    // stops and drops what it still finds, even when the directory is added again.
    std::atomic<bool> currentRemoved_{false};
    std::atomic<bool> quit_{false};
};

}  // namespace quorvane
