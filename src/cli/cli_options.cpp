#include "cli/cli_options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "cli/cli_command.h"
#include "cli/interrupt_guard.h"
#include "library/directory_loader.h"
#include "library/notification.h"
#include "platform/settings_store.h"
#include "library/tag_saver.h"
#include "library/mp3_file_record.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// At most ten progress lines a second.
class ProgressLine {
public:
    explicit ProgressLine(bool enabled) : enabled_(enabled) {}
    ~ProgressLine() { Finish(); }
    void Show(const std::string& text, bool force = false) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        std::fprintf(stderr, "\r\033[K%s", text.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void Finish() {
        if (shown_) std::fprintf(stderr, "\r\033[K");
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace

bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
               const std::vector<std::string>& flagOptions, ParsedArgs& parsed, const char* command) {
    bool onlyPaths = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyPaths || a.size() < 2 || a[0] != '-') {
            parsed.paths.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPaths = true;
        } else if (a == "--no-recurse") {
            parsed.global.noRecurse = true;
        } else if (a == "--dry-run") {
            parsed.global.dryRun = true;
        } else if (a == "--yes") {
            parsed.global.yes = true;
        } else if (a == "--settings" || Contains(valueOptions, a)) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "quorvane-cli %s: %s needs a value\n", command, a.c_str());
                return false;
            }
            if (a == "--settings") {
                parsed.global.settingsPath = args[++i];
            } else {
                parsed.options.emplace_back(a, args[++i]);
            }
        } else if (Contains(flagOptions, a)) {
            parsed.options.emplace_back(a, std::string());
        } else {
            std::fprintf(stderr, "quorvane-cli %s: unknown option '%s'\n", command, a.c_str());
            return false;
        }
    }
    return true;
}

bool RequirePaths(const ParsedArgs& parsed, const char* command) {
    if (!parsed.paths.empty()) return true;
    std::fprintf(stderr, "quorvane-cli %s: no files or directories given\n", command);
    return false;
}

bool OpenSettings(const GlobalOptions& options) {
    std::string error;
    SettingsStore& store = SettingsStore::Instance();
    const bool ok = options.settingsPath.empty() ? store.OpenSettingsKey(&error)
                                                 : store.OpenAt(options.settingsPath, &error);
    if (!ok) {
        const std::string path = options.settingsPath.empty() ? SettingsStore::DefaultPath() : options.settingsPath;
        std::fprintf(stderr, "quorvane-cli: cannot open the settings file %s: %s\n", path.c_str(), error.c_str());
    }
    return ok;
}

bool ShowProgress() { return isatty(STDERR_FILENO) == 1; }

int ExitStatus(const StderrPrompts& prompts, size_t otherErrors) {
    return prompts.ErrorCount() || otherErrors ? kExitFileError : kExitOk;
}

FileSet::FileSet(UserPrompts& prompts)
    : prompts_(prompts), loader_(std::make_unique<DirectoryLoader>(prompts, false)) {}

FileSet::~FileSet() = default;

void FileSet::Load(const std::vector<std::string>& paths, bool recurse) {
    ProgressLine progress(ShowProgress());
    size_t done = 0;
    loader_->SetProgressFunction([&](size_t, const std::u16string& directory) {
        ++done;
        progress.Show(std::to_string(done) + " files, " + PathToNative(directory));
    });
    for (const std::string& path : paths) {
        struct stat st {};
        const std::u16string name = PathFromNative(path);
        if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            loader_->AddDirectory(name);
            loader_->ScanPending(recurse);
            for (Mp3FileRecord* record : loader_->TakeNewRecords()) records_.push_back(record);
            continue;
        }
        // A single file: split it into directory and name like the scan does.
        const size_t slash = name.rfind(u'/');
        const std::u16string directory = slash == std::u16string::npos ? std::u16string(u".")
                                         : slash == 0                  ? std::u16string(u"/")
                                                                       : name.substr(0, slash);
        const std::u16string file = slash == std::u16string::npos ? name : name.substr(slash + 1);
        if (!HasMp3Extension(file)) {
            std::fprintf(stderr, "quorvane-cli: '%s' is neither a directory nor an .mp3 file\n", path.c_str());
            ++pathErrors_;
            continue;
        }
        auto record = std::make_unique<Mp3FileRecord>(directory, file, directory);
        record->LoadFile(prompts_);
        ++done;
        progress.Show(std::to_string(done) + " files, " + PathToNative(directory));
        records_.push_back(record.get());
        single_.push_back(std::move(record));
    }
}

namespace {

// Waits for the saver's finish and shows progress from its reports.
class WaitingSink : public NotificationSink {
public:
    explicit WaitingSink(size_t total) : total_(total), progress_(ShowProgress()) {}
    void Notify(const void*, uint32_t code, Mp3FileRecord* record) override {
        std::lock_guard lock(mutex_);
        if (code == kNotifySaved) {
            ++saved_;
            progress_.Show("saved " + std::to_string(saved_) + " of " + std::to_string(total_) + ", " +
                           PathToNative(record->directory));
        } else if (code == kNotifySaveFinished) {
            progress_.Finish();
            finished_ = true;
            cv_.notify_all();
        }
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return finished_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    size_t total_;
    size_t saved_ = 0;
    bool finished_ = false;
    ProgressLine progress_;
};

void PrintPlan(const Mp3FileRecord& record) {
    std::string line = PathToNative(record.DiskPath()) + ":";
    if (record.removeV1Requested) {
        line += " remove ID3v1;";
    } else if (record.V1().IsChanged()) {
        line += " write ID3v1;";
    }
    if (record.removeV2Requested) {
        line += " remove ID3v2;";
    } else {
        std::string frames;
        for (const auto& frame : record.Frames()) {
            if (!frame->HasChanged()) continue;
            frames += " " + std::string(frame->IdLetters());
            if (const CTextField* text = frame->TextField()) frames += "=" + JsonString(text->Text());
        }
        // Frames removed leave no changed frame behind, only the tag's own mark.
        const bool listChanged = record.IsChanged() && !record.V1().IsChanged();
        if (!frames.empty() || listChanged) {
            line += " write ID3v2" + frames + ";";
        }
    }
    if (record.fileName != record.diskName) line += " rename to " + JsonString(record.fileName) + ";";
    line.pop_back();
    std::printf("%s\n", line.c_str());
}

}  // namespace

int SaveRecords(const std::vector<Mp3FileRecord*>& records, const GlobalOptions& options, StderrPrompts& prompts) {
    std::vector<Mp3FileRecord*> needing;
    for (Mp3FileRecord* record : records) {
        if (record->NeedsSaving()) needing.push_back(record);
    }
    if (options.dryRun) {
        for (const Mp3FileRecord* record : needing) PrintPlan(*record);
        return ExitStatus(prompts, 0);
    }
    WaitingSink sink(needing.size());
    TagSaver saver(prompts, sink);
    int interrupted = 0;
    {
        InterruptGuard guard([&saver] { saver.RequestStop(); });
        saver.Start(needing);
        sink.Wait();
        saver.Join();
        interrupted = guard.Signal();
    }
    if (interrupted) return 128 + interrupted;
    return ExitStatus(prompts, 0);
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string JsonString(std::u16string_view text) { return JsonString(std::string_view(Utf16ToUtf8(text))); }

}  // namespace quorvane::cli
