#include "platform/text_codec.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace quorvane {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80-0x9F; the five undefined positions map to the C1 control of
// the same value, as Windows' own converter does, so every byte round-trips.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsCp1252Name(const char* name) {
    return strcasecmp(name, "CP1252") == 0 || strcasecmp(name, "WINDOWS-1252") == 0;
}

}  // namespace

CodePage::CodePage(const char* name) {
    if (!name || !*name || IsCp1252Name(name) || !BuildWithIconv(name)) BuildCp1252();
    else name_ = name;
    encode_.fill(0);
    for (int b = 255; b >= 1; --b) {
        if (decode_[b] != kReplacement) encode_[decode_[b]] = static_cast<unsigned char>(b);
    }
}

const CodePage& CodePage::System() {
    static const CodePage system(std::getenv("QUORVANE_CODEPAGE"));
    return system;
}

void CodePage::BuildCp1252() {
    name_ = "CP1252";
    for (int b = 0; b < 256; ++b) decode_[b] = static_cast<char16_t>(b);
    for (int b = 0; b < 32; ++b) decode_[0x80 + b] = kCp1252High[b];
}

bool CodePage::BuildWithIconv(const char* name) {
    iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    bool ok = true;
    for (int b = 0; b < 256 && ok; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[8] = {};
        char* inp = &in;
        char* outp = reinterpret_cast<char*>(out);
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) {
            // A byte the code page leaves undefined (EILSEQ) decodes to the replacement; a
            // byte that begins a longer character (EINVAL, as in UTF-8 or Shift JIS) means
            // this is no 8-bit code page.
            decode_[b] = kReplacement;
            if (errno != EILSEQ) ok = false;
            continue;
        }
        const size_t produced = sizeof out - outLeft;
        // Only 8-bit code pages that give one BMP character per byte qualify.
        if (produced != 2) ok = false;
        decode_[b] = static_cast<char16_t>(out[0] | (out[1] << 8));
    }
    iconv_close(cd);
    return ok;
}

std::string CodePage::Encode(std::u16string_view text) const {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == 0) {
            out.push_back('\0');
            continue;
        }
        const unsigned char b = encode_[c];
        out.push_back(b ? static_cast<char>(b) : '?');
        // A surrogate pair is one character: one '?'.
        if (!b && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
        }
    }
    return out;
}

bool CodePage::CanEncode(std::u16string_view text) const {
    for (const char16_t c : text)
        if (c != 0 && encode_[c] == 0) return false;
    return true;
}

std::u16string CodePage::Decode(std::string_view bytes) const {
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = decode_[static_cast<unsigned char>(bytes[i])];
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

namespace {

locale_t Utf8Locale() {
    static const locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l) l = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        return l;
    }();
    return loc;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at bytes[i]; returns its length, or 0 when it is invalid.
size_t DecodeUtf8(std::string_view bytes, size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > bytes.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// The ASCII start of a text, copied unit for unit: file names and tag texts are mostly
// ASCII, and the general loops below then have little or nothing left to do.
template <class Out, class In>
size_t CopyAsciiPrefix(Out& out, In text) {
    out.resize(text.size());
    size_t i = 0;
    for (; i < text.size() && static_cast<uint32_t>(text[i]) < 0x80; ++i)
        out[i] = static_cast<typename Out::value_type>(text[i]);
    out.resize(i);
    return i;
}

// UTF-16 to UTF-8. With `rawBytes`, U+DC80..U+DCFF stand for the bytes of a file name
// that was not valid UTF-8 and are written back as those bytes.
std::string EncodeUtf8(std::u16string_view text, bool rawBytes) {
    std::string out;
    const size_t ascii = CopyAsciiPrefix(out, text);
    if (ascii == text.size()) return out;
    out.reserve(text.size());
    for (size_t i = ascii; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (rawBytes && c >= 0xDC80 && c <= 0xDCFF) {
            out.push_back(static_cast<char>(c - 0xDC00));
            continue;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// UTF-8 into UTF-16, appended to `out`. A byte that starts no valid sequence goes to
// `invalid(out, byte)`, which returns false to give up (and then so does this).
template <typename Invalid>
bool DecodeUtf8Into(std::u16string& out, std::string_view bytes, Invalid invalid) {
    const size_t ascii = CopyAsciiPrefix(out, bytes);
    if (ascii == bytes.size()) return true;
    out.reserve(bytes.size());
    for (size_t i = ascii; i < bytes.size();) {
        char32_t cp;
        const size_t len = DecodeUtf8(bytes, i, cp);
        if (len == 0) {
            if (!invalid(out, static_cast<unsigned char>(bytes[i]))) return false;
            ++i;
        } else {
            AppendUtf16(out, cp);
            i += len;
        }
    }
    return true;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) { return EncodeUtf8(text, false); }

std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view bytes) {
    std::u16string out;
    if (!DecodeUtf8Into(out, bytes, [](std::u16string&, unsigned char) { return false; })) return std::nullopt;
    return out;
}

std::u16string Utf8ToUtf16Lossy(std::string_view bytes) {
    std::u16string out;
    DecodeUtf8Into(out, bytes, [](std::u16string& text, unsigned char) {
        text.push_back(kReplacement);
        return true;
    });
    return out;
}

std::string ToCodePage(std::u16string_view text) { return CodePage::System().Encode(text); }

std::u16string FromCodePage(std::string_view bytes) { return CodePage::System().Decode(bytes); }

char16_t CodePageToUnicode(unsigned char byte) { return CodePage::System().DecodeByte(byte); }

std::string CodePageName() { return CodePage::System().Name(); }

std::u16string PathFromNative(std::string_view bytes) {
    std::u16string out;
    // A byte that is no UTF-8 is kept as a lone low surrogate, so the name goes back to
    // the same bytes.
    DecodeUtf8Into(out, bytes, [](std::u16string& text, unsigned char byte) {
        text.push_back(static_cast<char16_t>(0xDC00 + byte));
        return true;
    });
    return out;
}

std::string PathToNative(std::u16string_view path) { return EncodeUtf8(path, true); }

char16_t ToLowerChar(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    const wint_t r = towlower_l(c, Utf8Locale());
    return r <= 0xFFFF ? static_cast<char16_t>(r) : c;
}

char16_t ToUpperChar(char16_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    const wint_t r = towupper_l(c, Utf8Locale());
    return r <= 0xFFFF ? static_cast<char16_t>(r) : c;
}

bool IsLetterChar(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return iswalpha_l(c, Utf8Locale()) != 0;
}

bool IsDigitChar(char16_t c) {
    if (c < 0x80) return c >= '0' && c <= '9';
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    // iswdigit is ASCII-only by definition, so the other scripts' decimal digits
    // (Unicode category Nd, Basic Multilingual Plane) come from a table.
    static constexpr std::pair<char16_t, char16_t> kDecimalDigits[] = {
        {0x0660, 0x0669}, {0x06F0, 0x06F9}, {0x07C0, 0x07C9}, {0x0966, 0x096F}, {0x09E6, 0x09EF}, {0x0A66, 0x0A6F}, {0x0AE6, 0x0AEF}, {0x0B66, 0x0B6F}, {0x0BE6, 0x0BEF}, {0x0C66, 0x0C6F}, {0x0CE6, 0x0CEF}, {0x0D66, 0x0D6F}, {0x0DE6, 0x0DEF}, {0x0E50, 0x0E59}, {0x0ED0, 0x0ED9}, {0x0F20, 0x0F29}, {0x1040, 0x1049}, {0x1090, 0x1099}, {0x17E0, 0x17E9}, {0x1810, 0x1819}, {0x1946, 0x194F}, {0x19D0, 0x19D9}, {0x1A80, 0x1A89}, {0x1A90, 0x1A99}, {0x1B50, 0x1B59}, {0x1BB0, 0x1BB9}, {0x1C40, 0x1C49}, {0x1C50, 0x1C59}, {0xA620, 0xA629}, {0xA8D0, 0xA8D9}, {0xA900, 0xA909}, {0xA9D0, 0xA9D9}, {0xA9F0, 0xA9F9}, {0xAA50, 0xAA59}, {0xABF0, 0xABF9}, {0xFF10, 0xFF19}};
    for (const auto& [lo, hi] : kDecimalDigits) {
        if (c < lo) return false;
        if (c <= hi) return true;
    }
    return false;
}

bool IsWhiteSpaceChar(char16_t c) {
    if (c < 0x80) return c == ' ' || (c >= 0x09 && c <= 0x0D);
    if (c == 0x00A0 || c == 0x0085) return true;
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    return iswspace_l(c, Utf8Locale()) != 0;
}

std::u16string ToLower(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = ToLowerChar(c);
    return out;
}

std::u16string ToUpper(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = ToUpperChar(c);
    return out;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && ToLowerChar(a[i]) != ToLowerChar(b[i])) return false;
    }
    return true;
}

}  // namespace quorvane
