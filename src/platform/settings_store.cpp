#include "platform/settings_store.h"


#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "platform/text_codec.h"
#include "platform/user_prompts.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

constexpr char kXmlPrefix[] = "XML/";
constexpr auto kRecheckInterval = std::chrono::milliseconds(100);

// --- the file format -------------------------------------------------------------------
// [main] and [XML] sections; one "Name=kind:value" line per value. Strings are quoted
// UTF-8 with C-style escapes; \uXXXX keeps any UTF-16 unit, even a lone surrogate.

void AppendQuoted(std::string& out, std::u16string_view text) {
    out.push_back('"');
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF &&
                                             !(c <= 0xDBFF && i + 1 < text.size() &&
                                               text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF))) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            out += Utf16ToUtf8(text.substr(i, 2));
            ++i;
        } else {
            out += Utf16ToUtf8(text.substr(i, 1));
        }
    }
    out.push_back('"');
}

[[noreturn]] void Fail(size_t line, const std::string& what) {
    throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at s[pos] == '"'; leaves pos after the closing quote.
std::u16string ReadQuoted(std::string_view s, size_t& pos, size_t line) {
    if (pos >= s.size() || s[pos] != '"') Fail(line, "expected a quoted string");
    ++pos;
    std::u16string out;
    std::string run;  // plain UTF-8 bytes waiting to be decoded
    auto flush = [&] {
        if (run.empty()) return;
        auto decoded = Utf8ToUtf16Strict(run);
        if (!decoded) Fail(line, "invalid UTF-8");
        out += *decoded;
        run.clear();
    };
    while (true) {
        if (pos >= s.size()) Fail(line, "unterminated string");
        const char c = s[pos++];
        if (c == '"') break;
        if (c != '\\') {
            run.push_back(c);
            continue;
        }
        if (pos >= s.size()) Fail(line, "unterminated escape");
        const char e = s[pos++];
        flush();
        switch (e) {
            case '"': out.push_back(u'"'); break;
            case '\\': out.push_back(u'\\'); break;
            case 'n': out.push_back(u'\n'); break;
            case 'r': out.push_back(u'\r'); break;
            case 't': out.push_back(u'\t'); break;
            case 'u': {
                if (pos + 4 > s.size()) Fail(line, "short \\u escape");
                unsigned v = 0;
                for (int k = 0; k < 4; ++k) {
                    const int d = HexDigit(s[pos + k]);
                    if (d < 0) Fail(line, "bad \\u escape");
                    v = v * 16 + static_cast<unsigned>(d);
                }
                pos += 4;
                out.push_back(static_cast<char16_t>(v));
                break;
            }
            default: Fail(line, "unknown escape");
        }
    }
    flush();
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

SettingValue ParseValue(std::string_view text, size_t line) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) Fail(line, "value without a kind");
    const std::string_view kind = Trim(text.substr(0, colon));
    const std::string_view rest = Trim(text.substr(colon + 1));
    SettingValue v;
    if (kind == "dword") {
        v.kind = ValueKind::Dword;
        if (rest.empty() || rest.size() > 10) Fail(line, "bad dword");
        uint64_t n = 0;
        for (char c : rest) {
            if (c < '0' || c > '9') Fail(line, "bad dword");
            n = n * 10 + static_cast<uint64_t>(c - '0');
        }
        if (n > 0xFFFFFFFFull) Fail(line, "dword out of range");
        v.number = static_cast<uint32_t>(n);
    } else if (kind == "sz" || kind == "expand_sz") {
        v.kind = kind == "sz" ? ValueKind::Sz : ValueKind::ExpandSz;
        size_t pos = 0;
        v.text = ReadQuoted(rest, pos, line);
        if (pos != rest.size()) Fail(line, "text after the string");
    } else if (kind == "multi_sz") {
        v.kind = ValueKind::MultiSz;
        size_t pos = 0;
        while (pos < rest.size()) {
            v.list.push_back(ReadQuoted(rest, pos, line));
            while (pos < rest.size() && rest[pos] == ' ') ++pos;
            if (pos == rest.size()) break;
            if (rest[pos] != ',') Fail(line, "expected ','");
            ++pos;
            while (pos < rest.size() && rest[pos] == ' ') ++pos;
            if (pos == rest.size()) Fail(line, "list ends with ','");
        }
    } else if (kind == "binary") {
        v.kind = ValueKind::Binary;
        if (rest.size() % 2) Fail(line, "odd hex length");
        for (size_t i = 0; i < rest.size(); i += 2) {
            const int hi = HexDigit(rest[i]), lo = HexDigit(rest[i + 1]);
            if (hi < 0 || lo < 0) Fail(line, "bad hex");
            v.bytes.push_back(static_cast<char>(hi * 16 + lo));
        }
    } else {
        Fail(line, "unknown kind");
    }
    return v;
}

bool ValidName(std::string_view name) {
    if (name.empty() || name.size() > 255) return false;
    for (char c : name) {
        if (c == '=' || c == '[' || c == ']' || c == '\n' || c == '\r' || c == '/' || c == '#' ||
            static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return name.front() != ' ' && name.back() != ' ';
}

std::string DirectoryOf(const std::string& path) {
    const fs::path p(path);
    return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

// An exclusive lock on "<file>.lock" for the read-modify-write of the file, so two
// processes writing at once do not lose each other's values.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace

std::map<std::string, SettingValue> ParseSettingsText(std::string_view text) {
    std::map<std::string, SettingValue> values;
    std::string section = "main";
    size_t lineNo = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        ++lineNo;
        const std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            if (end == text.size()) break;
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') Fail(lineNo, "bad section");
            section = std::string(line.substr(1, line.size() - 2));
            if (section != "main" && section != "XML") Fail(lineNo, "unknown section");
        } else {
            const size_t eq = line.find('=');
            if (eq == std::string_view::npos) Fail(lineNo, "expected Name=kind:value");
            const std::string_view name = Trim(line.substr(0, eq));
            if (!ValidName(name)) Fail(lineNo, "bad value name");
            const std::string key = section == "XML" ? kXmlPrefix + std::string(name) : std::string(name);
            values[key] = ParseValue(line.substr(eq + 1), lineNo);
        }
        if (end == text.size()) break;
    }
    return values;
}

std::string FormatSettingsText(const std::map<std::string, SettingValue, std::less<>>& values) {
    std::string main = "[main]\n", xml = "[XML]\n";
    bool hasXml = false;
    for (const auto& [key, v] : values) {
        const bool inXml = key.rfind(kXmlPrefix, 0) == 0;
        std::string& out = inXml ? xml : main;
        hasXml |= inXml;
        out += inXml ? key.substr(sizeof kXmlPrefix - 1) : key;
        out += '=';
        switch (v.kind) {
            case ValueKind::Dword: out += "dword:" + std::to_string(v.number); break;
            case ValueKind::Sz: out += "sz:"; AppendQuoted(out, v.text); break;
            case ValueKind::ExpandSz: out += "expand_sz:"; AppendQuoted(out, v.text); break;
            case ValueKind::MultiSz:
                out += "multi_sz:";
                for (size_t i = 0; i < v.list.size(); ++i) {
                    if (i) out += ',';
                    AppendQuoted(out, v.list[i]);
                }
                break;
            case ValueKind::Binary: {
                out += "binary:";
                static const char* hex = "0123456789abcdef";
                for (unsigned char b : v.bytes) {
                    out.push_back(hex[b >> 4]);
                    out.push_back(hex[b & 15]);
                }
                break;
            }
        }
        out += '\n';
    }
    std::string text = "# Quorvane settings. Each line: Name=kind:value (dword, sz, expand_sz, multi_sz, binary).\n";
    text += main;
    if (hasXml) text += xml;
    return text;
}

// --- the store -----------------------------------------------------------------------------

SettingsStore& SettingsStore::Instance() {
    static SettingsStore store;
    return store;
}

std::string SettingsStore::DefaultPath() {
    if (const char* env = std::getenv("QUORVANE_SETTINGS"); env && *env) return env;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        base = ".config";
    }
    return base + "/quorvane/settings.ini";
}

bool SettingsStore::OpenSettingsKey(std::string* error) { return OpenAt(DefaultPath(), error); }

bool SettingsStore::OpenAt(const std::string& path, std::string* error) {
    Access access(*this);
    std::error_code ec;
    const std::string dir = DirectoryOf(path);
    fs::create_directories(dir, ec);
    // Both the file and its lock must be creatable: the store writes at once.
    const int fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = path + ": " + std::strerror(errno);
        open_ = false;
        return false;
    }
    ::close(fd);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (error) *error = path + ": not a regular file";
        open_ = false;
        return false;
    }
    path_ = path;
    open_ = true;
    LoadLocked();
    return true;
}

void SettingsStore::SetPrompts(UserPrompts* prompts) {
    {
        std::lock_guard lock(mutex_);
        prompts_ = prompts;
    }
    ReportWarnings();
}

SettingsStore::Access::~Access() {
    lock_.unlock();
    store_.ReportWarnings();
}

void SettingsStore::ReportWarnings() {
    std::vector<std::string> warnings;
    UserPrompts* prompts;
    {
        std::lock_guard lock(mutex_);
        if (!prompts_) return;  // kept until someone can be told
        warnings.swap(warnings_);
        prompts = prompts_;
    }
    // Outside the lock: a box may wait for the user while other threads read settings.
    for (const std::string& text : warnings) prompts->ShowError(ProgramTitle(), Utf8ToUtf16Lossy(text));
}

void SettingsStore::LoadLocked() {
    values_.clear();
    stamp_ = {};
    lastCheck_ = std::chrono::steady_clock::now();
    struct stat st {};
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;  // no file yet: every value has its default
    std::string text;
    if (fstat(fd, &st) == 0) {
        stamp_ = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                  static_cast<uint64_t>(st.st_size),
                  static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec, true};
        char buf[8192];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
            if (n > 0) text.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    try {
        for (auto& [k, v] : ParseSettingsText(text)) values_.emplace(k, std::move(v));
    } catch (const std::exception& e) {
        // Keep the unreadable file for the user to inspect; start from the defaults.
        const std::string bad = path_ + ".bad";
        const bool kept = ::rename(path_.c_str(), bad.c_str()) == 0;
        values_.clear();
        stamp_ = {};
        const std::string msg = "The settings file " + path_ + " could not be read (" + e.what() + ")" +
                                (kept ? "; it was kept as " + bad : "") + " and the defaults are used";
        warnings_.push_back(msg);
    }
}

void SettingsStore::RefreshLocked() {
    if (!open_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastCheck_ < kRecheckInterval) return;
    lastCheck_ = now;
    struct stat st {};
    Stamp current;
    if (::stat(path_.c_str(), &st) == 0) {
        current = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                   static_cast<uint64_t>(st.st_size),
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec, true};
    }
    if (!(current == stamp_)) LoadLocked();
}

bool SettingsStore::WriteFileLocked(const Values& values) {
    const std::string text = FormatSettingsText(values);
    const std::string temp = path_ + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    size_t done = 0;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    if (fd >= 0) ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path_.c_str()) == 0;
    if (!ok) {
        const int e = errno;
        ::unlink(temp.c_str());
        warnings_.push_back("The settings could not be saved to " + path_ + ": " + std::strerror(e));
        return false;
    }
    const int dirFd = ::open(DirectoryOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void SettingsStore::ModifyLocked(const std::function<bool(Values&)>& change) {
    if (!open_) {
        // Without a file the values live for this run only.
        change(values_);
        return;
    }
    FileLock fileLock(path_);
    // Another process may have written since the last read: start from the file.
    lastCheck_ = {};
    RefreshLocked();
    Values updated = values_;
    if (!change(updated)) return;
    if (WriteFileLocked(updated)) {
        values_ = std::move(updated);
        struct stat st {};
        if (::stat(path_.c_str(), &st) == 0) {
            stamp_ = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                      static_cast<uint64_t>(st.st_size),
                      static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec, true};
        }
    } else {
        values_ = std::move(updated);  // keep the value for this run at least
    }
}

std::optional<SettingValue> SettingsStore::ReadRaw(std::string_view name) {
    Access access(*this);
    RefreshLocked();
    const auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::map<std::string, SettingValue> SettingsStore::ReadAll() {
    Access access(*this);
    RefreshLocked();
    return {values_.begin(), values_.end()};
}

bool SettingsStore::ReadBool(std::string_view name, bool defaultValue) {
    const auto v = ReadRaw(name);
    if (!v || v->kind != ValueKind::Dword) return defaultValue;
    return v->number != 0;
}

uint32_t SettingsStore::ReadNumber(std::string_view name, uint32_t defaultValue) {
    const auto v = ReadRaw(name);
    // Only a dword is taken as a number; anything else leaves the default.
    if (!v || v->kind != ValueKind::Dword) return defaultValue;
    return v->number;
}

std::u16string SettingsStore::ReadString(std::string_view name) {
    const auto v = ReadRaw(name);
    if (!v || (v->kind != ValueKind::Sz && v->kind != ValueKind::ExpandSz)) return {};
    return v->text;
}

std::vector<std::u16string> SettingsStore::ReadStringList(std::string_view name) {
    const auto v = ReadRaw(name);
    if (!v || v->kind != ValueKind::MultiSz) return {};
    // The stored form is each string with its terminator and one more terminator; a
    // value shorter than three characters in that form holds nothing.
    size_t stored = 1;
    for (const auto& s : v->list) stored += s.size() + 1;
    if (stored < 3) return {};
    std::vector<std::u16string> out;
    for (const auto& s : v->list) {
        if (!s.empty()) out.push_back(s);
    }
    return out;
}

void SettingsStore::WriteRaw(std::string_view name, const SettingValue& value) {
    Access access(*this);
    ModifyLocked([&](Values& values) {
        auto it = values.find(name);
        if (it != values.end() && it->second == value) return false;
        values[std::string(name)] = value;
        return true;
    });
}

void SettingsStore::DeleteValue(std::string_view name) {
    Access access(*this);
    ModifyLocked([&](Values& values) {
        auto it = values.find(name);
        if (it == values.end()) return false;
        values.erase(it);
        return true;
    });
}

void SettingsStore::WriteBool(std::string_view name, bool value) { WriteNumber(name, value ? 1 : 0); }

void SettingsStore::WriteNumber(std::string_view name, uint32_t value) {
    SettingValue v;
    v.kind = ValueKind::Dword;
    v.number = value;
    WriteRaw(name, v);
}

void SettingsStore::WriteStringValue(std::string_view name, std::u16string_view value) {
    SettingValue v;
    v.kind = ValueKind::Sz;
    v.text = value;
    WriteRaw(name, v);
}

void SettingsStore::WriteStringList(std::string_view name, const std::vector<std::u16string>& value) {
    SettingValue v;
    v.kind = ValueKind::MultiSz;
    v.list = value;
    WriteRaw(name, v);
}

void SettingsStore::AppendToList(std::string_view name, std::u16string_view entry) {
    Access access(*this);
    ModifyLocked([&](Values& values) {
        SettingValue& v = values[std::string(name)];
        if (v.kind != ValueKind::MultiSz) v = SettingValue{ValueKind::MultiSz, 0, {}, {}, {}};
        std::erase(v.list, std::u16string(entry));
        v.list.emplace_back(entry);
        return true;
    });
}

void SettingsStore::RemoveFromList(std::string_view name, std::u16string_view entry) {
    Access access(*this);
    ModifyLocked([&](Values& values) {
        auto it = values.find(name);
        if (it == values.end() || it->second.kind != ValueKind::MultiSz) return false;
        return std::erase(it->second.list, std::u16string(entry)) > 0;
    });
}

// --- the known values ------------------------------------------------------------------------

const std::vector<SettingDefinition>& KnownSettings() {
    using T = SettingType;
    static const std::vector<SettingDefinition> defs = {
        {"Recurse", T::Boolean, 1},
        {"StartupAction", T::Number, 2},
        {"LoadedDirs", T::StringList, 0},
        {"AutoDeleteV1", T::Boolean, 1},
        {"AutoConvertToV2", T::Boolean, 0},
        {"SaveEmpty", T::Boolean, 1},
        {"Use2.4", T::Boolean, 1},
        {"Encoding", T::Number, 0},
        {"DecreasePaddingVal", T::Number, settings::kNeverDecreasePadding},
        {"ShowRedText", T::Boolean, 1},
        {"ShowIcons", T::Boolean, 0},
        {"AlternateBg", T::Boolean, 1},
        {"ShowGridlines", T::Boolean, 0},
        {"Tooltips", T::Boolean, 1},
        {"NextAutoSave", T::Boolean, 1},
        {"BrowseDir", T::String, 0},
        {"Renames", T::StringList, 0},
        {"GenNormals", T::StringList, 0},
        {"RegExps", T::StringList, 0},
        {"EnqueueCommand", T::String, 0},
        {"XML/V2Title", T::Boolean, 1},
        {"XML/V2Album", T::Boolean, 1},
        {"XML/V2Artist", T::Boolean, 1},
        {"XML/V2Genre", T::Boolean, 0},
        {"XML/V2Year", T::Boolean, 0},
        {"XML/V2Track", T::Boolean, 0},
        {"XML/V1Title", T::Boolean, 0},
        {"XML/V1Album", T::Boolean, 0},
        {"XML/V1Artist", T::Boolean, 0},
        {"XML/V1Genre", T::Boolean, 0},
        {"XML/V1Year", T::Boolean, 0},
        {"XML/V1Track", T::Boolean, 0},
        {"XML/FileName", T::Boolean, 1},
        {"XML/FullPath", T::Boolean, 0},
        {"XML/Mp3Duration", T::Boolean, 0},
        {"XML/Mp3Bitrate", T::Boolean, 1},
        {"XML/Mp3Vbr", T::Boolean, 0},
        {"XML/SkipIfEmpty", T::Boolean, 1},
        {"XML/Structure0", T::Number, 0},
        {"XML/Structure1", T::Number, 0},
        {"XML/Structure2", T::Number, 0},
        {"XML/Structure3", T::Number, 0},
    };
    return defs;
}

const SettingDefinition* FindSettingDefinition(std::string_view name) {
    for (const auto& d : KnownSettings()) {
        if (name == d.name) return &d;
    }
    return nullptr;
}

namespace settings {
bool Recurse() { return SettingsStore::Instance().ReadBool("Recurse", true); }
uint32_t StartupAction() { return SettingsStore::Instance().ReadNumber("StartupAction", 2); }
bool AutoDeleteV1() { return SettingsStore::Instance().ReadBool("AutoDeleteV1", true); }
bool AutoConvertToV2() { return SettingsStore::Instance().ReadBool("AutoConvertToV2", false); }
bool SaveEmpty() { return SettingsStore::Instance().ReadBool("SaveEmpty", true); }
bool Use24() { return SettingsStore::Instance().ReadBool("Use2.4", true); }
uint32_t Encoding() {
    const uint32_t e = SettingsStore::Instance().ReadNumber("Encoding", 0);
    return e >= 4 ? 0 : e;
}
uint32_t DecreasePaddingVal() {
    return SettingsStore::Instance().ReadNumber("DecreasePaddingVal", kNeverDecreasePadding);
}
}  // namespace settings

}  // namespace quorvane
