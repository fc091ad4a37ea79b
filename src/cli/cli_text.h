#pragma once
// How quorvane-cli writes texts: as JSON strings, as cells of a tab-separated table,
// and picture checksums. Every command writes through these, so a name or a tag text
// comes out the same way everywhere.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quorvane::cli {

// A JSON string literal, with its quotes, for a text as the program holds it (UTF-16).
// Quotes, backslashes and control characters are escaped; everything else is written as
// UTF-8. A lone surrogate is written as its escape "\udcXX": that is how a file name byte
// that is not valid UTF-8 is held (U+DC80 + byte), so a name goes out as the bytes it has
// on disk: json.loads followed by os.fsencode (Python's "surrogateescape") gives them back,
// and the output stays valid UTF-8.
std::string JsonString(std::u16string_view text);
// The same, appended to `out` (rows of many strings are built without temporaries).
void AppendJson(std::string& out, std::u16string_view text);
// The same for 8-bit fields (COMM language, APIC MIME type): each byte is one character
// (Latin-1), so bytes above 127 never reach the output raw.
std::string JsonLatin1(std::string_view bytes);

// One cell of a tab-separated line from its bytes (UTF-8 for texts, the bytes on disk for
// names: PathToNative): a backslash becomes "\\", tab, line feed and carriage return
// "\t", "\n", "\r", any other control byte "\xHH", so every row stays on one line and a
// name can be recovered.
std::string TsvCell(std::string_view bytes);
void AppendTsvCell(std::string& out, std::string_view bytes);

// Lower-case hexadecimal SHA-256 of the bytes.
std::string Sha256Hex(std::span<const uint8_t> bytes);

}  // namespace quorvane::cli
