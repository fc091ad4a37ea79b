// config get NAME | config set NAME VALUE... | config list: the settings store.
// Names of the subkey "XML" are written "XML/NAME".
#include <cstdio>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
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

int Usage() {
    std::fprintf(stderr, "usage: quorvane-cli config get NAME | config set NAME VALUE... | config list\n");
    return kExitUsage;
}

}  // namespace

int RunConfig(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (!ParseArgs(args, {}, {}, parsed, "config")) return kExitUsage;
    const std::vector<std::string>& words = parsed.paths;
    if (words.empty()) return Usage();
    const std::string& action = words[0];
    if (!(action == "list" && words.size() == 1) && !(action == "get" && words.size() == 2) &&
        !(action == "set" && words.size() >= 3)) {
        return Usage();
    }
    if (!OpenSettings(parsed.global)) return kExitFileError;
    SettingsStore& store = SettingsStore::Instance();

    if (action == "list") {
        for (const SettingDefinition& def : KnownSettings()) {
            std::string line = def.name;
            for (const std::string& v : EffectiveValue(def)) line += "\t" + v;
            std::printf("%s\n", line.c_str());
        }
        for (const auto& [name, value] : store.ReadAll()) {
            if (FindSettingDefinition(name)) continue;  // listed above
            std::string line = name;
            for (const std::string& v : RawValue(value)) line += "\t" + v;
            std::printf("%s\n", line.c_str());
        }
        return kExitOk;
    }

    const std::string& name = words[1];
    const SettingDefinition* def = FindSettingDefinition(name);
    if (action == "get") {
        std::vector<std::string> lines;
        if (def) {
            lines = EffectiveValue(*def);
        } else if (auto raw = store.ReadRaw(name)) {
            lines = RawValue(*raw);
        } else {
            std::fprintf(stderr, "quorvane-cli config: unknown setting '%s'\n", name.c_str());
            return kExitUsage;
        }
        for (const std::string& line : lines) std::printf("%s\n", line.c_str());
        return kExitOk;
    }

    if (!def) {
        std::fprintf(stderr, "quorvane-cli config: unknown setting '%s'\n", name.c_str());
        return kExitUsage;
    }
    const std::vector<std::string> values(words.begin() + 2, words.end());
    if (def->type != SettingType::StringList && values.size() != 1) return Usage();
    if (parsed.global.dryRun) {
        std::string line = "would set " + name;
        for (const std::string& v : values) line += "\t" + v;
        std::printf("%s\n", line.c_str());
    }
    switch (def->type) {
        case SettingType::Boolean: {
            bool value = false;
            if (!ParseBool(values[0], value)) {
                std::fprintf(stderr, "quorvane-cli config: %s takes 1 or 0\n", name.c_str());
                return kExitUsage;
            }
            if (!parsed.global.dryRun) store.WriteBool(name, value);
            break;
        }
        case SettingType::Number: {
            const std::string& v = values[0];
            if (v.empty() || v.size() > 10 || v.find_first_not_of("0123456789") != std::string::npos ||
                std::stoull(v) > 0xFFFFFFFFull) {
                std::fprintf(stderr, "quorvane-cli config: %s takes a number\n", name.c_str());
                return kExitUsage;
            }
            if (!parsed.global.dryRun) store.WriteNumber(name, static_cast<uint32_t>(std::stoull(v)));
            break;
        }
        case SettingType::String:
            if (!parsed.global.dryRun) store.WriteStringValue(name, U16(values[0]));
            break;
        case SettingType::StringList: {
            std::vector<std::u16string> list;
            for (const std::string& v : values) list.push_back(U16(v));
            if (!parsed.global.dryRun) store.WriteStringList(name, list);
            break;
        }
    }
    return kExitOk;
}

}  // namespace quorvane::cli
