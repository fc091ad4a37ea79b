#pragma once
// The program's own regular expressions, used by tag generation from file names:
// compile a pattern once, search any number of subjects, read named groups.
//
// Patterns and subjects are NUL-terminated UTF-16; every code unit is one character
// and comparisons are exact (the `i` flag is accepted and changes nothing).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "regex/regexp_error.h"
#include "regex/regexp_nodes.h"

namespace quorvane {

class RegExp final : private RegExpGraph {
public:
    // Limits that keep hostile or mistyped patterns from exhausting the machine.
    // A search that needs more steps than this ends as no match.
    static constexpr uint64_t kDefaultStepLimit = 20'000'000;
    // Choice points and undo entries a search may hold at once.
    static constexpr size_t kStackLimit = 1'000'000;
    // Largest number accepted in {m,n}.
    static constexpr uint32_t kMaxRepeatCount = 10'000;
    // Upper estimate of edges a compiled pattern may have; {m,n} grows with (n-m)^2.
    static constexpr uint64_t kMaxGraphCost = 250'000;
    // Deepest nesting of groups and quantifiers.
    static constexpr uint32_t kMaxNesting = 500;
    static constexpr unsigned kGroupTableSize = 256;

    RegExp();
    ~RegExp() override;
    RegExp(const RegExp&) = delete;
    RegExp& operator=(const RegExp&) = delete;

    // Compiles the pattern up to its first NUL; throws RegExpException.
    void Compile(const char16_t* pattern);
    void Compile(const std::u16string& pattern) { Compile(pattern.c_str()); }

    // Searches the NUL-terminated subject at `pos`, trying each position that holds
    // a code unit. On success `pos` is left at the end of the match; on failure it
    // is the subject's start.
    bool Search(const char16_t*& pos);
    // The same over a whole string (up to its first NUL); the match's offsets are
    // in GroupSpan(0).
    bool Search(const std::u16string& subject) {
        const char16_t* pos = subject.c_str();
        return Search(pos);
    }

    // True if a capturing group of that name exists (names compare exactly).
    bool HasGroup(std::u16string_view name) const;
    // Text of the first group of that name in the last search; empty when that
    // search failed or the group took no part in the match. Throws
    // RegExpException (NoSuchGroup) for an unknown name.
    std::u16string GetGroupText(std::u16string_view name) const;

    // Capturing groups by number, 1..GroupCount(); number 0 is the whole match.
    unsigned GroupCount() const;
    const std::u16string& GroupName(unsigned number) const;
    std::u16string GroupTextByNumber(unsigned number) const;
    // Code-unit offsets of a group in the last subject, if it took part in the match.
    std::optional<std::pair<size_t, size_t>> GroupSpan(unsigned number) const;

    // True when the last search ended because it ran out of steps.
    bool LastSearchGaveUp() const { return gaveUp_; }
    void SetStepLimit(uint64_t steps) { stepLimit_ = steps; }

private:
    // Open group kind bits.
    static constexpr uint32_t kKindCapturing = 1;
    static constexpr uint32_t kKindAtomic = 2;
    static constexpr uint32_t kKindLookaround = 4;
    static constexpr uint32_t kKindPositive = 8;
    static constexpr uint32_t kKindLookahead = 0x10;
    static constexpr uint32_t kKindNamed = 0x20;

    struct GroupInfo {
        uint32_t kind = 0;
        uint32_t number = 0;
        std::u16string name;
    };
    // One nesting level: its sequence and the alternatives already closed by `|`.
    struct Level {
        std::vector<RegExpNode*> sequence;
        std::vector<RegExpNode*> alternatives;
    };

    // RegExpGraph
    RegExpState* NewState() override;
    PositionMarker* SharedMarker() override { return sharedMarker_; }
    RegExpNode* Adopt(std::unique_ptr<RegExpNode> item) override;

    // Creates an item owned by this object, refusing items past the limits.
    template <typename T, typename... Args>
    T* Make(Args&&... args);

    void Reset();
    void Append(RegExpNode* item);
    void MergeLastLiterals();
    RegExpNode* FinishSequence();
    RegExpNode* FinishLevel();
    void ParseQuantifier(uint32_t min, uint32_t max);
    void ParseCount();
    void ParseClass();
    void ParseEscape();
    void ParseBackReference();
    void ParseGroupOpening();
    void ParseGroupClosing();
    void ParseFlags(const char16_t* letters);
    void PushGroup(uint32_t kind, std::u16string name);
    void SkipComment(const char16_t* from);

    void ResetMarkers();
    void ClearCaptures();

    // Compiler state.
    const char16_t* cursor_ = nullptr;
    Level current_;
    std::vector<Level> saved_;
    std::vector<GroupInfo> openGroups_;
    // Graph and items.
    std::vector<std::unique_ptr<RegExpState>> states_;
    std::vector<std::unique_ptr<RegExpNode>> items_;
    std::vector<PositionMarker*> markers_;
    std::array<GroupNode*, kGroupTableSize> groupTable_{};
    RegExpState* startState_ = nullptr;
    uint32_t groupCounter_ = 0;
    uint32_t flags_ = kRegExpCaseSensitive | kRegExpLineMode;
    PositionMarker* sharedMarker_ = nullptr;
    // Search results, copied out so no pointer into a subject outlives the search.
    uint64_t stepLimit_ = kDefaultStepLimit;
    bool gaveUp_ = false;
    std::vector<std::optional<std::pair<size_t, size_t>>> spans_;
    std::vector<std::u16string> texts_;
};

}  // namespace quorvane
