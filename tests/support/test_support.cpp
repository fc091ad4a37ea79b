#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
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

void RecordingPrompts::ShowError(std::u16string_view caption, std::u16string_view text) {
    std::lock_guard lock(mutex_);
    prompts_.push_back({"error", std::u16string(caption), std::u16string(text)});
}

void RecordingPrompts::ShowInformation(std::u16string_view caption, std::u16string_view text) {
    std::lock_guard lock(mutex_);
    prompts_.push_back({"information", std::u16string(caption), std::u16string(text)});
}

PromptAnswer RecordingPrompts::NextAnswer() {
    if (answers_.empty()) return fallback;
    const PromptAnswer a = answers_.front();
    answers_.erase(answers_.begin());
    return a;
}

bool RecordingPrompts::AskYesNo(std::u16string_view caption, std::u16string_view text) {
    std::lock_guard lock(mutex_);
    prompts_.push_back({"yesno", std::u16string(caption), std::u16string(text)});
    return NextAnswer() == PromptAnswer::Yes;
}

PromptAnswer RecordingPrompts::AskYesNoCancel(std::u16string_view caption, std::u16string_view text) {
    std::lock_guard lock(mutex_);
    prompts_.push_back({"yesnocancel", std::u16string(caption), std::u16string(text)});
    return NextAnswer();
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
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    size_t written = 0;
    if (input.empty()) {
        close(inPipe[1]);
        inPipe[1] = -1;
    }
    CommandResult result;
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[3] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}, {inPipe[1], POLLOUT, 0}};
        const int nfds = inPipe[1] >= 0 ? 3 : 2;
        if (poll(fds, nfds, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        char buf[65536];
        if (nfds == 3 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = write(inPipe[1], input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<size_t>(n);
            if (n <= 0 || written == input.size()) {
                close(inPipe[1]);
                inPipe[1] = -1;
            }
        }
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                fds[i].fd = -1;
            } else {
                (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
            }
        }
        if (!outOpen) outPipe[0] = -1;
        if (!errOpen) errPipe[0] = -1;
    }
    if (inPipe[1] >= 0) close(inPipe[1]);
    close(outPipe[0] >= 0 ? outPipe[0] : -1);
    close(errPipe[0] >= 0 ? errPipe[0] : -1);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
