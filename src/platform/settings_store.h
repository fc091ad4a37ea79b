#pragma once
// The settings store: typed named values in one file, read anew by every reader (so
// a change made elsewhere is seen by the next load or save) and written at once.
//
// Names of the subkey "XML" are written "XML/Name". Values keep their registry kind:
// dword, sz, expand_sz, multi_sz (and binary for anything else), so the reading rules
// hold: a boolean stored as a string reads as the default, and so on.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

class UserPrompts;

enum class ValueKind { Dword, Sz, ExpandSz, MultiSz, Binary };

struct SettingValue {
    ValueKind kind = ValueKind::Dword;
    uint32_t number = 0;                   // Dword
    std::u16string text;                   // Sz, ExpandSz
    std::vector<std::u16string> list;      // MultiSz, as stored (empty strings included)
    std::string bytes;                     // Binary
    bool operator==(const SettingValue&) const = default;
};

// What a known value is and its default, for "config list" and the preferences.
enum class SettingType { Boolean, Number, String, StringList };
struct SettingDefinition {
    const char* name;
    SettingType type;
    uint32_t defaultValue;  // booleans and numbers
};
const std::vector<SettingDefinition>& KnownSettings();
const SettingDefinition* FindSettingDefinition(std::string_view name);

class SettingsStore {
public:
    // The process's store (the only global the program keeps).
    static SettingsStore& Instance();

    // The settings file: QUORVANE_SETTINGS, else $XDG_CONFIG_HOME/quorvane/settings.ini,
    // else ~/.config/quorvane/settings.ini.
    static std::string DefaultPath();

    // Opens (creating its folder when needed) the settings file. False, with the reason
    // in `error`, when it can be neither read nor created.
    bool OpenSettingsKey(std::string* error = nullptr);
    bool OpenAt(const std::string& path, std::string* error = nullptr);
    const std::string& Path() const { return path_; }

    // Where the store's warnings go (an unreadable file kept aside, a failed write), each
    // once, as an error box. Warnings raised before this is set wait for it.
    void SetPrompts(UserPrompts* prompts);

    bool ReadBool(std::string_view name, bool defaultValue);
    uint32_t ReadNumber(std::string_view name, uint32_t defaultValue);
    std::u16string ReadString(std::string_view name);
    std::vector<std::u16string> ReadStringList(std::string_view name);
    std::optional<SettingValue> ReadRaw(std::string_view name);
    std::map<std::string, SettingValue> ReadAll();

    void WriteBool(std::string_view name, bool value);
    void WriteNumber(std::string_view name, uint32_t value);
    void WriteStringValue(std::string_view name, std::u16string_view value);
    void WriteStringList(std::string_view name, const std::vector<std::u16string>& value);
    void WriteRaw(std::string_view name, const SettingValue& value);
    void DeleteValue(std::string_view name);

    // Histories and "LoadedDirs": equal entries removed, the new one appended.
    void AppendToList(std::string_view name, std::u16string_view entry);
    // Removes every equal entry; writes only when something was removed.
    void RemoveFromList(std::string_view name, std::u16string_view entry);

private:
    // Holds the store's lock; reports the warnings raised meanwhile once it is released.
    class Access {
    public:
        explicit Access(SettingsStore& store) : store_(store), lock_(store.mutex_) {}
        ~Access();

    private:
        SettingsStore& store_;
        std::unique_lock<std::mutex> lock_;
    };
    void ReportWarnings();
    using Values = std::map<std::string, SettingValue, std::less<>>;
    void RefreshLocked();
    void LoadLocked();
    void ModifyLocked(const std::function<bool(Values&)>& change);
    bool WriteFileLocked(const Values& values);

    std::mutex mutex_;
    std::string path_;
    Values values_;
    bool open_ = false;
    // What the file looked like when last read, to notice a change by another process.
    struct Stamp {
        uint64_t device = 0, inode = 0, size = 0;
        int64_t mtimeNs = 0;
        bool exists = false;
        bool operator==(const Stamp&) const = default;
    } stamp_;
    std::chrono::steady_clock::time_point lastCheck_{};
    UserPrompts* prompts_ = nullptr;
    std::vector<std::string> warnings_;
};

// The typed readers of the values that the core uses, with their defaults.
namespace settings {
inline constexpr uint32_t kNeverDecreasePadding = 4294967295u;
bool Recurse();
uint32_t StartupAction();
bool AutoDeleteV1();
bool AutoConvertToV2();
bool SaveEmpty();
bool Use24();
uint32_t Encoding();  // 0..3; stored values of 4 and more read as 0
uint32_t DecreasePaddingVal();
}  // namespace settings

// Parsing and printing of the file format, exposed for tests and the fuzzer.
// Throws std::runtime_error with the line number on malformed input.
std::map<std::string, SettingValue> ParseSettingsText(std::string_view text);
std::string FormatSettingsText(const std::map<std::string, SettingValue, std::less<>>& values);

}  // namespace quorvane
