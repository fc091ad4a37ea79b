#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <stdexcept>

#include "platform/text_codec.h"

namespace quorvane::test {
namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quorvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make files read-only; give the owner rights back so removal works.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

PromptAnswer RecordingPrompts::Record(const char* kind, std::u16string_view caption, std::u16string_view text) {
    std::lock_guard lock(mutex_);
    prompts_.push_back({kind, std::u16string(caption), std::u16string(text)});
    if (answers_.empty()) return fallback;
    const PromptAnswer a = answers_.front();
    answers_.erase(answers_.begin());
    return a;
}

void RecordingPrompts::QueueAnswer(PromptAnswer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::vector<RecordedPrompt> RecordingPrompts::Prompts() const {
    std::lock_guard lock(mutex_);
    return prompts_;
}

size_t RecordingPrompts::Count() const {
    std::lock_guard lock(mutex_);
    return prompts_.size();
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input) {
    // Unnamed files rather than pipes: nothing to pump, however much either side writes.
    FILE* files[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
    for (FILE* f : files) {
        if (!f) throw std::runtime_error("tmpfile failed");
    }
    std::fwrite(input.data(), 1, input.size(), files[0]);
    std::fflush(files[0]);
    std::rewind(files[0]);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (int fd = 0; fd < 3; ++fd) dup2(fileno(files[fd]), fd);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    CommandResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    for (int i : {1, 2}) {
        std::string& out = i == 1 ? result.out : result.err;
        std::rewind(files[i]);
        char buf[65536];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, files[i])) > 0;) out.append(buf, n);
    }
    for (FILE* f : files) std::fclose(f);
    return result;
}

std::string PythonPath() {
    const char* env = std::getenv("QUORVANE_PYTHON");
    return env && *env ? env : "/usr/bin/python3";
}

CommandResult RunPython(const std::string& code, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {PythonPath(), "-c", code};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCommand(argv);
}

std::string CliPath() { return QUORVANE_CLI_PATH; }

BinaryFile OpenForSave(const fs::path& path) {
    BinaryFile file;
    uint32_t error = 0;
    if (!file.Open(PathFromNative(path.string()), OpenMode::Update, error)) {
        ADD_FAILURE() << "open failed: " << error;
    }
    return file;
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void MakeMp3(const fs::path& path, const std::vector<std::string>& lameArgs, double seconds, int sampleRate) {
    static std::mutex cacheMutex;
    static std::map<std::string, std::vector<uint8_t>> cache;
    std::string key = std::to_string(seconds) + "/" + std::to_string(sampleRate);
    for (const auto& a : lameArgs) key += "|" + a;
    std::lock_guard lock(cacheMutex);
    auto it = cache.find(key);
    if (it == cache.end()) {
        TempDir work;
        // 16-bit little-endian stereo PCM: a tone with a little noise, so VBR varies.
        const size_t frames = static_cast<size_t>(seconds * sampleRate);
        std::vector<int16_t> pcm(frames * 2);
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> noise(-800, 800);
        for (size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / sampleRate;
            const double v = 8000 * std::sin(2 * M_PI * 440 * t) + 3000 * std::sin(2 * M_PI * 1234 * t * (1 + t));
            pcm[2 * i] = static_cast<int16_t>(v + noise(rng));
            pcm[2 * i + 1] = static_cast<int16_t>(v / 2 + noise(rng));
        }
        const fs::path raw = work / "in.raw";
        const fs::path out = work / "out.mp3";
        WriteFileBytes(raw, {reinterpret_cast<uint8_t*>(pcm.data()),
                             reinterpret_cast<uint8_t*>(pcm.data()) + pcm.size() * 2});
        std::vector<std::string> argv = {"lame", "--quiet", "-r", "--little-endian", "--signed", "--bitwidth", "16",
                                         "-s", std::to_string(sampleRate / 1000.0)};
        argv.insert(argv.end(), lameArgs.begin(), lameArgs.end());
        argv.push_back(raw.string());
        argv.push_back(out.string());
        const CommandResult r = RunCommand(argv);
        if (r.status != 0) throw std::runtime_error("lame failed: " + r.err);
        it = cache.emplace(key, ReadFileBytes(out)).first;
    }
    WriteFileBytes(path, it->second);
}

}  // namespace quorvane::test
