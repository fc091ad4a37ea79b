// config get NAME | config set NAME VALUE... | config list: the settings store.
// Names of the subkey "XML" are written "XML/NAME".
#include <cstdio>
#include <memory>

#include "cli/command_line.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

// What a reader of the value sees now: the stored value by the reading rules, or the default.
std::vector<std::string> EffectiveValue(const SettingDefinition& def) {
    SettingsStore& store = SettingsStore::Instance();
    switch (def.type) {
        case SettingType::Boolean:
            return {store.ReadBool(def.name, def.defaultValue != 0) ? "1" : "0"};
        case SettingType::Number:
            return {std::to_string(store.ReadNumber(def.name, def.defaultValue))};
        case SettingType::String:
            return {U8(store.ReadString(def.name))};
        case SettingType::StringList: {
            std::vector<std::string> entries;
            for (const auto& e : store.ReadStringList(def.name)) entries.push_back(U8(e));
            return entries;
        }
    }
    return {};
}

std::vector<std::string> RawValue(const SettingValue& value) {
    switch (value.kind) {
        case ValueKind::Dword:
            return {std::to_string(value.number)};
        case ValueKind::Sz:
        case ValueKind::ExpandSz:
            return {U8(value.text)};
        case ValueKind::MultiSz: {
            std::vector<std::string> entries;
            for (const auto& e : value.list) entries.push_back(U8(e));
            return entries;
        }
        case ValueKind::Binary:
            return {std::to_string(value.bytes.size()) + " bytes"};
    }
    return {};
}

bool ParseBool(const std::string& text, bool& value) {
    if (text == "1" || text == "true" || text == "on" || text == "yes") {
        value = true;
    } else if (text == "0" || text == "false" || text == "off" || text == "no") {
        value = false;
    } else {
        return false;
    }
    return true;
}

void PrintLine(const std::string& name, const std::vector<std::string>& values) {
    std::string line = name;
    for (const std::string& v : values) line += "\t" + v;
    std::printf("%s\n", line.c_str());
}

int RunList(CommandContext& context) {
    if (!context.OpenSettings()) return kExitFileError;
    for (const SettingDefinition& def : KnownSettings()) PrintLine(def.name, EffectiveValue(def));
    for (const auto& [name, value] : SettingsStore::Instance().ReadAll()) {
        if (!FindSettingDefinition(name)) PrintLine(name, RawValue(value));  // the known ones are listed above
    }
    return kExitOk;
}

int UnknownSetting(const std::string& name) {
    std::fprintf(stderr, "quorvane-cli config: unknown setting '%s'\n", name.c_str());
    return kExitUsage;
}

int RunGet(CommandContext& context, const std::string& name) {
    if (!context.OpenSettings()) return kExitFileError;
    std::vector<std::string> lines;
    if (const SettingDefinition* def = FindSettingDefinition(name)) {
        lines = EffectiveValue(*def);
    } else if (auto raw = SettingsStore::Instance().ReadRaw(name)) {
        lines = RawValue(*raw);
    } else {
        return UnknownSetting(name);
    }
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    return kExitOk;
}

int ValueError(const std::string& name, const char* what) {
    std::fprintf(stderr, "quorvane-cli config: %s %s\n", name.c_str(), what);
    return kExitUsage;
}

int RunSet(CommandContext& context, const std::string& name, const std::vector<std::string>& values) {
    const SettingDefinition* def = FindSettingDefinition(name);
    if (!def) return UnknownSetting(name);
    if (def->type != SettingType::StringList && values.size() != 1) return ValueError(name, "takes one value");
    // Every value is checked before the file is opened.
    bool flag = false;
    if (def->type == SettingType::Boolean && !ParseBool(values[0], flag)) return ValueError(name, "takes 1 or 0");
    const std::string& v = values[0];
    if (def->type == SettingType::Number &&
        (v.empty() || v.size() > 10 || v.find_first_not_of("0123456789") != std::string::npos ||
         std::stoull(v) > 0xFFFFFFFFull)) {
        return ValueError(name, "takes a number");
    }
    if (!context.OpenSettings()) return kExitFileError;
    if (context.Global().dryRun) {
        PrintLine("would set " + name, values);
        return kExitOk;
    }
    SettingsStore& store = SettingsStore::Instance();
    switch (def->type) {
        case SettingType::Boolean: store.WriteBool(name, flag); break;
        case SettingType::Number: store.WriteNumber(name, static_cast<uint32_t>(std::stoull(v))); break;
        case SettingType::String: store.WriteStringValue(name, U16(v)); break;
        case SettingType::StringList: {
            std::vector<std::u16string> list;
            for (const std::string& value : values) list.push_back(U16(value));
            store.WriteStringList(name, list);
            break;
        }
    }
    return context.ExitStatus();  // a failed write is reported through the prompts
}

struct ConfigArguments {
    std::string name;
    std::vector<std::string> values;
};

}  // namespace

void RegisterConfigCommand(CommandLine& cli) {
    auto arguments = std::make_shared<ConfigArguments>();
    CLI::App& config = cli.AddCommand("config", "The settings (\"XML/NAME\" for the XML export values)", nullptr);
    cli.AddCommand("list", "Every known setting with its value, then any other value stored", RunList, &config);
    CLI::App& get = cli.AddCommand(
        "get", "The value of a setting (its default when not stored)",
        [arguments](CommandContext& context) { return RunGet(context, arguments->name); }, &config);
    get.add_option("NAME", arguments->name, "The setting")->required();
    CLI::App& set = cli.AddCommand(
        "set", "Stores a setting; a list takes several values",
        [arguments](CommandContext& context) { return RunSet(context, arguments->name, arguments->values); },
        &config);
    set.add_option("NAME", arguments->name, "The setting")->required();
    cli.AddWords(set, "VALUE", arguments->values, "The value, or the entries of a list");
}

}  // namespace quorvane::cli
