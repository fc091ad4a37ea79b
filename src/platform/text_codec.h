#pragma once
// Conversions between the program's UTF-16 text and the byte encodings it meets:
// UTF-8 (ID3v2 encoding 3, XML, the settings file), the 8-bit code page
// (ID3v1, ID3v2 encoding 0, playlists) and file names on disk.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// One code point (not a surrogate) appended as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16; nullopt when the bytes are not valid UTF-8 (overlong forms,
// surrogates and code points above U+10FFFF are invalid).
std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view bytes);

// UTF-8 to UTF-16 where each invalid byte becomes U+FFFD.
std::u16string Utf8ToUtf16Lossy(std::string_view bytes);

// An 8-bit code page: one table each way, built once. Characters it cannot hold
// become '?'.
class CodePage {
public:
    // Windows-1252 for a null, empty or unknown name, or a name that is not an 8-bit
    // code page with one character per byte.
    explicit CodePage(const char* name);
    // The code page that stands for the user's "ANSI" code page: Windows-1252, or the
    // one named by QUORVANE_CODEPAGE (any name iconv knows). Built on first use.
    static const CodePage& System();

    std::string Encode(std::u16string_view text) const;
    std::u16string Decode(std::string_view bytes) const;
    char16_t DecodeByte(unsigned char byte) const { return decode_[byte]; }
    // The byte Encode writes for one character that is not part of a surrogate pair.
    char EncodeChar(char16_t c) const {
        if (c == 0) return '\0';
        return encode_[c] ? static_cast<char>(encode_[c]) : '?';
    }
    // Every character of the text has a byte of its own (none would become '?').
    bool CanEncode(std::u16string_view text) const;
    const std::string& Name() const { return name_; }

private:
    void BuildCp1252();
    bool BuildWithIconv(const char* name);

    std::string name_;
    std::array<char16_t, 256> decode_{};
    std::array<unsigned char, 65536> encode_{};
};

// The system code page's conversions.
std::string ToCodePage(std::u16string_view text);
std::u16string FromCodePage(std::string_view bytes);
char16_t CodePageToUnicode(unsigned char byte);
// The name of the code page in use ("CP1252" unless the environment says otherwise).
std::string CodePageName();

// File names: bytes on disk, UTF-8 when valid. A byte that is not part of valid UTF-8
// maps to U+DC80 + byte and back, so every name survives the round trip.
std::u16string PathFromNative(std::string_view bytes);
std::string PathToNative(std::u16string_view path);

// Character classes and case mapping by Unicode (the C.UTF-8 locale's tables).
char16_t ToLowerChar(char16_t c);
char16_t ToUpperChar(char16_t c);
bool IsLetterChar(char16_t c);
bool IsDigitChar(char16_t c);
bool IsWhiteSpaceChar(char16_t c);
std::u16string ToLower(std::u16string_view text);
std::u16string ToUpper(std::u16string_view text);
// Case-insensitive equality by simple case folding.
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

// Short-hands for literals in code and tests.
inline std::u16string U16(std::string_view utf8) { return Utf8ToUtf16Lossy(utf8); }
inline std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }

}  // namespace quorvane
