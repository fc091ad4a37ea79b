#include "cli/cli_text.h"

#include <cstdio>

#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

void AppendHexEscape(std::string& out, const char* prefix, unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%s%0*x", prefix, digits, value);
    out += buffer;
}

// Escapes for the characters JSON does not allow raw inside a string.
bool AppendJsonEscape(std::string& out, char32_t c) {
    switch (c) {
        case '"': out += "\\\""; return true;
        case '\\': out += "\\\\"; return true;
        case '\b': out += "\\b"; return true;
        case '\f': out += "\\f"; return true;
        case '\n': out += "\\n"; return true;
        case '\r': out += "\\r"; return true;
        case '\t': out += "\\t"; return true;
        default: break;
    }
    if (c < 0x20) {
        AppendHexEscape(out, "\\u", static_cast<unsigned>(c), 4);
        return true;
    }
    return false;
}

}  // namespace

std::string JsonPathString(std::string_view nativePath) {
    const std::u16string path = PathFromNative(nativePath);
    std::string out = "\"";
    for (size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            out += Utf16ToUtf8(path.substr(i, 2));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // A byte kept from a name that is not valid UTF-8.
            AppendHexEscape(out, "\\u", c, 4);
        } else if (!AppendJsonEscape(out, c)) {
            out += Utf16ToUtf8(std::u16string_view(&path[i], 1));
        }
    }
    out += '"';
    return out;
}

std::string TabFieldPath(std::string_view nativePath) {
    std::string out;
    out.reserve(nativePath.size());
    for (const char ch : nativePath) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (byte) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    AppendHexEscape(out, "\\x", byte, 2);
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

}  // namespace quorvane::cli
