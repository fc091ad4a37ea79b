#include "operations/languages.h"

#include <algorithm>

namespace quorvane {
namespace {

// Made from Debian's iso-codes data by make_languages.py beside this file.
constexpr Language kLanguages[] = {
#include "operations/language_table.inc"
};

}  // namespace

std::span<const Language> LanguageTable() { return kLanguages; }

std::string_view LanguageCodeForName(std::u16string_view name) {
    const auto it = std::find_if(std::begin(kLanguages), std::end(kLanguages),
                                 [name](const Language& l) { return l.name == name; });
    return it != std::end(kLanguages) ? it->code : kLanguages[0].code;
}

std::u16string_view LanguageNameForCode(std::string_view code) {
    const auto it = std::find_if(std::begin(kLanguages), std::end(kLanguages),
                                 [code](const Language& l) { return l.code == code; });
    return it != std::end(kLanguages) ? it->name : std::u16string_view();
}

std::vector<std::u16string_view> LanguageNamesForCode(std::string_view code) {
    std::vector<std::u16string_view> names;
    for (const Language& l : kLanguages) {
        if (l.code == code) names.push_back(l.name);
    }
    return names;
}

std::vector<std::u16string_view> LanguageListNames() {
    // The generator sorts the table in the list's order.
    std::vector<std::u16string_view> names;
    names.reserve(std::size(kLanguages));
    for (const Language& l : kLanguages) names.push_back(l.name);
    return names;
}

std::u16string_view InitialLanguageName(std::string_view code) {
    if (code.size() != 3) return kDefaultLanguageName;
    const std::u16string_view name = LanguageNameForCode(code);
    return name.empty() ? kDefaultLanguageName : name;
}

bool IsLanguageCode(std::string_view code) {
    return code.size() == 3 && std::all_of(code.begin(), code.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

}  // namespace quorvane
