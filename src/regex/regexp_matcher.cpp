#include "regex/regexp_matcher.h"

namespace quorvane {

RegExpMatcher::RegExpMatcher(const char16_t* start, uint64_t stepLimit, size_t stackLimit)
    : start_(start), stepLimit_(stepLimit), stackLimit_(stackLimit) {}

void RegExpMatcher::CountStep() {
    if (++steps_ > stepLimit_) throw BudgetExhausted{};
}

void RegExpMatcher::Charge(uint64_t units) {
    steps_ += units;
    if (steps_ > stepLimit_) throw BudgetExhausted{};
}

void RegExpMatcher::Record(PositionMarker& marker, const char16_t* pos) {
    if (trail_.size() >= stackLimit_) throw BudgetExhausted{};
    trail_.push_back({&marker, marker.Recorded()});
    marker.SetRecorded(pos);
}

void RegExpMatcher::UndoTo(size_t mark) {
    while (trail_.size() > mark) {
        const TrailEntry& e = trail_.back();
        e.marker->SetRecorded(e.old);
        trail_.pop_back();
    }
}

bool RegExpMatcher::Run(RegExpState* state, const char16_t*& pos, bool backward) {
    const size_t base = choices_.size();
    const size_t entryMark = trail_.size();
    const char16_t* const entryPos = pos;
    RegExpState* s = state;
    const char16_t* p = pos;
    uint32_t next = 0;
    for (;;) {
        if (s->edges.empty()) {
            // Accept state: the first success in edge order wins.
            choices_.resize(base);
            pos = p;
            return true;
        }
        bool moved = false;
        const uint32_t count = static_cast<uint32_t>(s->edges.size());
        for (uint32_t i = next; i < count; ++i) {
            CountStep();
            const RegExpEdge& edge = s->edges[i];
            const size_t mark = trail_.size();
            const char16_t* q = p;
            const bool ok = backward ? edge.item->TestBackward(*this, q) : edge.item->TestForward(*this, q);
            if (!ok) continue;
            if (i + 1 < count) {
                if (choices_.size() >= stackLimit_) throw BudgetExhausted{};
                choices_.push_back({s, i + 1, p, mark});
            }
            s = edge.target;
            p = q;
            next = 0;
            moved = true;
            break;
        }
        if (moved) continue;
        if (choices_.size() == base) {
            UndoTo(entryMark);
            pos = entryPos;
            return false;
        }
        const Choice c = choices_.back();
        choices_.pop_back();
        UndoTo(c.trailMark);
        s = c.state;
        p = c.pos;
        next = c.nextEdge;
    }
}

}  // namespace quorvane
