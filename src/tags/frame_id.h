#pragma once
// The frame identifiers the tag model knows. The index into the table is the FrameId
// that the rest of the program passes around; the model holds every frame under its
// v2.4 identifier where a v2.3 one has a v2.4 counterpart.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvane {

using FrameId = uint32_t;

inline constexpr FrameId kFrameIdCount = 92;
// A frame whose well-formed identifier is not in the table; the frame keeps its letters.
inline constexpr FrameId kFrameUnknown = 0xFFFF;

// Four letters a frame, in FrameId order: v2.4 identifiers first (0..82), then the
// v2.3 ones that v2.4 dropped (83..91).
inline constexpr std::array<std::string_view, kFrameIdCount> kFrameIdNames = {
    "AENC", "APIC", "ASPI", "COMM", "COMR", "ENCR", "EQU2", "ETCO", "GEOB", "GRID",
    "LINK", "MCDI", "MLLT", "OWNE", "PRIV", "PCNT", "POPM", "POSS", "RBUF", "RVA2",
    "RVRB", "SEEK", "SIGN", "SYLT", "SYTC", "TALB", "TBPM", "TCOM", "TCON", "TCOP",
    "TDEN", "TDLY", "TDOR", "TDRC", "TDRL", "TDTG", "TENC", "TEXT", "TFLT", "TIPL",
    "TIT1", "TIT2", "TIT3", "TKEY", "TLAN", "TLEN", "TMCL", "TMED", "TMOO", "TOAL",
    "TOFN", "TOLY", "TOPE", "TOWN", "TPE1", "TPE2", "TPE3", "TPE4", "TPOS", "TPRO",
    "TPUB", "TRCK", "TRSN", "TRSO", "TSOA", "TSOP", "TSOT", "TSRC", "TSSE", "TSST",
    "TXXX", "UFID", "USER", "USLT", "WCOM", "WCOP", "WOAF", "WOAR", "WOAS", "WORS",
    "WPAY", "WPUB", "WXXX", "EQUA", "IPLS", "RVAD", "TDAT", "TIME", "TORY", "TRDA",
    "TYER", "TSIZ",
};

inline constexpr FrameId kFrameAENC = 0, kFrameAPIC = 1, kFrameASPI = 2, kFrameCOMM = 3,
    kFrameCOMR = 4, kFrameENCR = 5, kFrameEQU2 = 6, kFrameETCO = 7, kFrameGEOB = 8,
    kFrameGRID = 9, kFrameLINK = 10, kFrameMCDI = 11, kFrameMLLT = 12, kFrameOWNE = 13,
    kFramePRIV = 14, kFramePCNT = 15, kFramePOPM = 16, kFramePOSS = 17, kFrameRBUF = 18,
    kFrameRVA2 = 19, kFrameRVRB = 20, kFrameSEEK = 21, kFrameSIGN = 22, kFrameSYLT = 23,
    kFrameSYTC = 24, kFrameTALB = 25, kFrameTBPM = 26, kFrameTCOM = 27, kFrameTCON = 28,
    kFrameTCOP = 29, kFrameTDEN = 30, kFrameTDLY = 31, kFrameTDOR = 32, kFrameTDRC = 33,
    kFrameTDRL = 34, kFrameTDTG = 35, kFrameTENC = 36, kFrameTEXT = 37, kFrameTFLT = 38,
    kFrameTIPL = 39, kFrameTIT1 = 40, kFrameTIT2 = 41, kFrameTIT3 = 42, kFrameTKEY = 43,
    kFrameTLAN = 44, kFrameTLEN = 45, kFrameTMCL = 46, kFrameTMED = 47, kFrameTMOO = 48,
    kFrameTOAL = 49, kFrameTOFN = 50, kFrameTOLY = 51, kFrameTOPE = 52, kFrameTOWN = 53,
    kFrameTPE1 = 54, kFrameTPE2 = 55, kFrameTPE3 = 56, kFrameTPE4 = 57, kFrameTPOS = 58,
    kFrameTPRO = 59, kFrameTPUB = 60, kFrameTRCK = 61, kFrameTRSN = 62, kFrameTRSO = 63,
    kFrameTSOA = 64, kFrameTSOP = 65, kFrameTSOT = 66, kFrameTSRC = 67, kFrameTSSE = 68,
    kFrameTSST = 69, kFrameTXXX = 70, kFrameUFID = 71, kFrameUSER = 72, kFrameUSLT = 73,
    kFrameWCOM = 74, kFrameWCOP = 75, kFrameWOAF = 76, kFrameWOAR = 77, kFrameWOAS = 78,
    kFrameWORS = 79, kFrameWPAY = 80, kFrameWPUB = 81, kFrameWXXX = 82, kFrameEQUA = 83,
    kFrameIPLS = 84, kFrameRVAD = 85, kFrameTDAT = 86, kFrameTIME = 87, kFrameTORY = 88,
    kFrameTRDA = 89, kFrameTYER = 90, kFrameTSIZ = 91;

namespace detail {
struct FrameIdPair {
    FrameId v23;
    FrameId v24;
};
// The v2.3 identifiers whose frames v2.4 holds under another name with a body of the
// same form (the dates are converted when the tag is written). RVAD and EQUA are not
// among them: RVA2 and EQU2 lay their bodies out differently, so those frames keep
// their own names in both versions.
inline constexpr std::array<FrameIdPair, 3> kVersionPairs = {{
    {kFrameIPLS, kFrameTIPL},
    {kFrameTORY, kFrameTDOR},
    {kFrameTYER, kFrameTDRC},
}};
}  // namespace detail

constexpr FrameId ToV24Id(FrameId id) {
    for (const auto& pair : detail::kVersionPairs)
        if (pair.v23 == id) return pair.v24;
    return id;
}

constexpr FrameId ToV23Id(FrameId id) {
    for (const auto& pair : detail::kVersionPairs)
        if (pair.v24 == id) return pair.v23;
    return id;
}

namespace detail {
// Four letters as one number, so a lookup compares numbers, not strings.
constexpr uint32_t PackFrameId(std::string_view letters) {
    return uint32_t{static_cast<unsigned char>(letters[0])} << 24 |
           uint32_t{static_cast<unsigned char>(letters[1])} << 16 |
           uint32_t{static_cast<unsigned char>(letters[2])} << 8 | uint32_t{static_cast<unsigned char>(letters[3])};
}
struct PackedFrameId {
    uint32_t key;
    FrameId id;
};
// Sorted by the packed letters: every frame read is looked up, by binary search.
inline constexpr std::array<PackedFrameId, kFrameIdCount> kSortedFrameIds = [] {
    std::array<PackedFrameId, kFrameIdCount> sorted{};
    for (FrameId i = 0; i < kFrameIdCount; ++i) {
        const PackedFrameId entry{PackFrameId(kFrameIdNames[i]), i};
        size_t at = i;
        for (; at > 0 && sorted[at - 1].key > entry.key; --at) sorted[at] = sorted[at - 1];
        sorted[at] = entry;
    }
    return sorted;
}();
}  // namespace detail

// Exact, case-sensitive lookup of four letters; nullopt when not in the table.
constexpr std::optional<FrameId> LookupFrameId(std::string_view letters) {
    if (letters.size() != 4) return std::nullopt;
    const uint32_t key = detail::PackFrameId(letters);
    size_t low = 0, high = kFrameIdCount;
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (detail::kSortedFrameIds[middle].key < key) low = middle + 1;
        else high = middle;
    }
    if (low < kFrameIdCount && detail::kSortedFrameIds[low].key == key) return detail::kSortedFrameIds[low].id;
    return std::nullopt;
}
static_assert([] {
    for (FrameId i = 0; i < kFrameIdCount; ++i)
        if (LookupFrameId(kFrameIdNames[i]) != i) return false;
    return !LookupFrameId("ZZZZ") && !LookupFrameId("AAAA");
}());

// An identifier that may stand in a tag: four characters from A-Z and 0-9.
constexpr bool IsWellFormedFrameId(std::string_view letters) {
    if (letters.size() != 4) return false;
    for (char c : letters)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// Text frames are modelled field by field: "T" identifiers except TXXX.
constexpr bool IsTextFrameId(FrameId id) {
    return id < kFrameIdCount && id != kFrameTXXX && kFrameIdNames[id][0] == 'T';
}

constexpr std::string_view FrameIdName(FrameId id) {
    return id < kFrameIdCount ? kFrameIdNames[id] : std::string_view{};
}

}  // namespace quorvane
