// The settings file parser over arbitrary text: it either throws its one error type or
// gives values that print and parse back to the same values.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "platform/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::map<std::string, quorvane::SettingValue> values;
    try {
        values = quorvane::ParseSettingsText(text);
    } catch (const std::runtime_error&) {
        return 0;
    }
    const std::map<std::string, quorvane::SettingValue, std::less<>> sorted(values.begin(), values.end());
    const auto again = quorvane::ParseSettingsText(quorvane::FormatSettingsText(sorted));
    if (again != values) std::abort();
    return 0;
}
