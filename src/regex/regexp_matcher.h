#pragma once
// Depth-first matching over the state graph. Instead of recursing once per edge the
// matcher keeps its own stack of choice points, so the length of the subject never
// reaches the machine stack; only atomic groups and lookarounds recurse, as deep as
// they are nested in the pattern. Marker changes are logged and undone on
// backtracking, so a capture always belongs to the path being tried.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "regex/regexp_nodes.h"

namespace quorvane {

class RegExpMatcher {
public:
    // Ends a search that used up its budget of steps or stack.
    struct BudgetExhausted {};

    RegExpMatcher(const char16_t* start, uint64_t stepLimit, size_t stackLimit);

    const char16_t* Start() const { return start_; }

    // Matches from `state`; on success `pos` is where an accept state was reached.
    // On failure `pos` and every marker are as before. Choice points made inside
    // are dropped on success, so an atomic or lookaround part is never re-entered.
    bool Run(RegExpState* state, const char16_t*& pos, bool backward);

    // Sets a marker, remembering the old value for backtracking.
    void Record(PositionMarker& marker, const char16_t* pos);
    size_t TrailMark() const { return trail_.size(); }
    void UndoTo(size_t mark);
    // Forgets the undo log after a successful attempt.
    void CommitTrail() { trail_.clear(); }

    uint64_t StepsUsed() const { return steps_; }
    // Counts compared code units against the budget, so that an item comparing long
    // texts (a literal, a back-reference) cannot multiply the work of one step.
    void Charge(uint64_t units);

private:
    struct Choice {
        RegExpState* state;
        uint32_t nextEdge;
        const char16_t* pos;
        size_t trailMark;
    };
    struct TrailEntry {
        PositionMarker* marker;
        const char16_t* old;
    };
    void CountStep();

    const char16_t* start_;
    uint64_t stepLimit_;
    size_t stackLimit_;
    uint64_t steps_ = 0;
    std::vector<Choice> choices_;
    std::vector<TrailEntry> trail_;
};

}  // namespace quorvane
