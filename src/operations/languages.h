#pragma once
// The languages a comment can carry: the ISO 639-2 table shown by name in the comment
// dialog and stored in COMM frames as a three-letter code.
#include <span>
#include <string_view>
#include <vector>

namespace quorvane {

struct Language {
    std::string_view code;   // ISO 639-2 code, as stored in a COMM frame
    std::u16string_view name;  // English name, as the dialog shows it
};

// The whole table: an entry with empty name and code first, then one entry per
// (name, code) pair sorted by name. A language with a bibliographic and a terminology
// code appears once per code (bibliographic first), one with alternative names once
// per name.
std::span<const Language> LanguageTable();

// The code of the first entry with exactly this name (case-sensitive); a name not in
// the table gives the first entry's code, which is empty.
std::string_view LanguageCodeForName(std::u16string_view name);

// The name of the first entry with exactly this code (case-sensitive); a code not in the
// table gives the empty name.
std::u16string_view LanguageNameForCode(std::string_view code);

// Every name of a code, in table order (empty for a code not in the table).
std::vector<std::u16string_view> LanguageNamesForCode(std::string_view code);

// The items of the dialog's language list, in the order shown: every entry's name,
// sorted, so the empty name comes first and a name held by two codes is listed twice.
std::vector<std::u16string_view> LanguageListNames();

inline constexpr std::u16string_view kDefaultLanguageName = u"English";

// The name the dialog selects for a comment's language: the code's name when the code is
// three characters long and in the table, otherwise "English". An absent comment is
// passed as an empty code.
std::u16string_view InitialLanguageName(std::string_view code);

// True when `code` is exactly three ASCII letters, the only form a COMM language may take.
bool IsLanguageCode(std::string_view code);

}  // namespace quorvane
