#pragma once
// Hand-made frames areas for the writer tests, independent of the tag model.
#include <cstdint>
#include <string>
#include <vector>

#include "tags/id3v2_write_plan.h"

namespace quorvane::test {

// One text frame: encoding 0 (Latin-1) under v2.3, 3 (UTF-8) under v2.4.
inline void AppendTextFrame(std::vector<uint8_t>& out, const std::string& id, const std::string& text, bool use24) {
    const uint32_t size = static_cast<uint32_t>(text.size() + 1);
    out.insert(out.end(), id.begin(), id.end());
    if (use24) {
        out.insert(out.end(), {uint8_t((size >> 21) & 0x7F), uint8_t((size >> 14) & 0x7F),
                               uint8_t((size >> 7) & 0x7F), uint8_t(size & 0x7F)});
    } else {
        out.insert(out.end(), {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)});
    }
    out.insert(out.end(), {0, 0, uint8_t(use24 ? 3 : 0)});
    out.insert(out.end(), text.begin(), text.end());
}

// A frames area of exactly `length` bytes: a TIT2 frame with `title`, then a TPE1
// frame of 'x's that fills it up (zeros when less than a frame is left).
inline std::vector<uint8_t> FramesOfLength(size_t length, const std::string& title, bool use24) {
    std::vector<uint8_t> out;
    AppendTextFrame(out, "TIT2", title, use24);
    if (out.size() + 11 <= length) {
        AppendTextFrame(out, "TPE1", std::string(length - out.size() - 11, 'x'), use24);
    }
    out.resize(length, 0);  // lengths below a frame's size end in padding-like zeros
    return out;
}

// The audio: everything after the ID3v2 tag (and its footer) up to an ID3v1 record.
inline std::vector<uint8_t> AudioBytes(const std::vector<uint8_t>& file) {
    size_t start = 0;
    if (auto h = ParseV2Header(file.data(), file.size())) start = h->Extent();
    size_t end = file.size();
    if (end >= start + 128 && file[end - 128] == 'T' && file[end - 127] == 'A' && file[end - 126] == 'G') end -= 128;
    return {file.begin() + static_cast<long>(start), file.begin() + static_cast<long>(end)};
}

}  // namespace quorvane::test
