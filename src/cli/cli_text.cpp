#include "cli/cli_text.h"

#include <nettle/sha2.h>

#include <cstdio>

#include "platform/text_codec.h"

namespace quorvane::cli {
namespace {

void AppendHex(std::string& out, const char* format, unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

void AppendJson(std::string& out, std::u16string_view text) {
    out.push_back('"');
    for (size_t i = 0; i < text.size(); ++i) {
        // Printable ASCII, nearly every character of a listing, goes out in runs as it is.
        size_t end = i;
        while (end < text.size() && text[end] >= 0x20 && text[end] < 0x80 && text[end] != u'"' && text[end] != u'\\')
            ++end;
        if (end > i) {
            const size_t at = out.size();
            out.resize(at + (end - i));
            for (size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<char>(text[k]);
            i = end;
            if (i == text.size()) break;
        }
        const char16_t c = text[i];
        switch (c) {
            case u'"': out += "\\\""; continue;
            case u'\\': out += "\\\\"; continue;
            case u'\b': out += "\\b"; continue;
            case u'\f': out += "\\f"; continue;
            case u'\n': out += "\\n"; continue;
            case u'\r': out += "\\r"; continue;
            case u'\t': out += "\\t"; continue;
            default: break;
        }
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((c - 0xD800u) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else if (c < 0x20 || IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendHex(out, "\\u%04x", c);
        } else {
            AppendUtf8(out, c);
        }
    }
    out.push_back('"');
}

std::string JsonString(std::u16string_view text) {
    std::string out;
    AppendJson(out, text);
    return out;
}

std::string JsonLatin1(std::string_view bytes) {
    std::u16string text;
    for (const char b : bytes) text.push_back(static_cast<unsigned char>(b));
    return JsonString(text);
}

void AppendTsvCell(std::string& out, std::string_view bytes) {
    out.reserve(out.size() + bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (byte) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    AppendHex(out, "\\x%02x", byte);
                } else {
                    out += ch;
                }
        }
    }
}

std::string TsvCell(std::string_view bytes) {
    std::string out;
    AppendTsvCell(out, bytes);
    return out;
}

std::string Sha256Hex(std::span<const uint8_t> bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), bytes.data());
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    std::string hex;
    for (const uint8_t b : digest) AppendHex(hex, "%02x", b);
    return hex;
}

}  // namespace quorvane::cli
