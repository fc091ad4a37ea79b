#pragma once
// Helpers shared by the tests: a temporary directory that cleans itself up, prompts
// that record what they were asked, and runners for lame, mutagen and the CLI.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/binary_file.h"
#include "platform/user_prompts.h"

namespace quorvane::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct RecordedPrompt {
    std::string kind;  // "error", "information", "yesno", "yesnocancel"
    std::u16string caption;
    std::u16string text;
};

// Records every box; questions take the queued answers in order, then `fallback`.
class RecordingPrompts : public UserPrompts {
public:
    void ShowError(std::u16string_view caption, std::u16string_view text) override { Record("error", caption, text); }
    void ShowInformation(std::u16string_view caption, std::u16string_view text) override {
        Record("information", caption, text);
    }
    bool AskYesNo(std::u16string_view caption, std::u16string_view text) override {
        return Record("yesno", caption, text) == PromptAnswer::Yes;
    }
    PromptAnswer AskYesNoCancel(std::u16string_view caption, std::u16string_view text) override {
        return Record("yesnocancel", caption, text);
    }

    void QueueAnswer(PromptAnswer answer);
    std::vector<RecordedPrompt> Prompts() const;
    size_t Count() const;
    PromptAnswer fallback = PromptAnswer::No;

private:
    PromptAnswer Record(const char* kind, std::u16string_view caption, std::u16string_view text);
    mutable std::mutex mutex_;
    std::vector<RecordedPrompt> prompts_;
    std::vector<PromptAnswer> answers_;
};

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs argv (no shell) and captures standard output and standard error.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input = {});

// The Python that has Debian's modules (mutagen).
std::string PythonPath();
// Runs a Python snippet with /usr/bin/python3; sys.argv[1:] are `args`.
CommandResult RunPython(const std::string& code, const std::vector<std::string>& args = {});

// Path of the built quorvane-cli.
std::string CliPath();

// Opens a file as the saver does (read and write, others may read); a failure fails the test.
BinaryFile OpenForSave(const std::filesystem::path& path);

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// An MP3 file encoded by lame from a generated tone. `lameArgs` are extra options
// (for example {"-b", "128"} or {"-V", "4"} or {"-m", "m"}); `seconds` of audio at
// `sampleRate` Hz, stereo unless the arguments say mono. The result is cached per
// argument set within one test run and copied to `path`.
void MakeMp3(const std::filesystem::path& path, const std::vector<std::string>& lameArgs,
             double seconds = 2.0, int sampleRate = 44100);

}  // namespace quorvane::test
