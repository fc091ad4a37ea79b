#include "regex/regexp_nodes.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <limits>

#include "platform/text_codec.h"
#include "regex/regexp_matcher.h"

namespace quorvane {

namespace {

constexpr uint64_t kCostCap = std::numeric_limits<uint64_t>::max() / 4;

uint64_t AddCost(uint64_t a, uint64_t b) { return std::min(kCostCap, a + std::min(b, kCostCap)); }

uint64_t MulCost(uint64_t a, uint64_t b) {
    if (a == 0 || b == 0) return 0;
    if (a > kCostCap / b) return kCostCap;
    return a * b;
}

bool IsLineTerminator(char16_t c) {
    return c == 0 || c == u'\n' || c == u'\r' || c == 0x0085 || c == 0x2028 || c == 0x2029;
}

// Wider than \w: letters and digits of every script count for \b and \B.
bool IsWordChar(char16_t c) { return c == u'_' || IsLetterChar(c) || IsDigitChar(c); }

}  // namespace

// ---- graph ----------------------------------------------------------------------

RegExpState* RegExpGraph::Ensure(RegExpState*& slot) {
    if (!slot) slot = NewState();
    return slot;
}

void RegExpGraph::AddEdge(RegExpState*& from, RegExpNode* item, RegExpState*& to, bool atFront) {
    Ensure(from);
    Ensure(to);
    auto& edges = from->edges;
    const RegExpEdge edge{item, to};
    if (atFront) {
        edges.insert(edges.begin(), edge);
    } else {
        edges.push_back(edge);
    }
}

// ---- base ----------------------------------------------------------------------

void RegExpNode::Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool) {
    graph.AddEdge(in, this, out);
}

bool RegExpNode::TestForward(RegExpMatcher&, const char16_t*&) {
    assert(false && "not a single-step item");
    return false;
}

bool RegExpNode::TestBackward(RegExpMatcher&, const char16_t*&) {
    assert(false && "not a single-step item");
    return false;
}

// ---- single-step items ---------------------------------------------------------

bool AnyCharNode::TestForward(RegExpMatcher&, const char16_t*& pos) {
    if (*pos == 0) return false;
    ++pos;
    return true;
}

bool AnyCharNode::TestBackward(RegExpMatcher& m, const char16_t*& pos) {
    if (pos == m.Start()) return false;
    --pos;
    return true;
}

bool LineStartNode::TestForward(RegExpMatcher& m, const char16_t*& pos) {
    if (pos == m.Start()) return true;
    return LineMode() && IsLineTerminator(pos[-1]);
}

bool LineEndNode::TestForward(RegExpMatcher&, const char16_t*& pos) {
    if (LineMode()) return IsLineTerminator(*pos);
    return *pos == 0;
}

bool WordBoundaryNode::TestForward(RegExpMatcher& m, const char16_t*& pos) {
    const bool before = pos > m.Start() && IsWordChar(pos[-1]);
    const bool after = *pos != 0 && IsWordChar(*pos);
    return (before != after) != negate_;
}

bool PositionMarker::TestForward(RegExpMatcher& m, const char16_t*& pos) {
    if (logged_) {
        m.Record(*this, pos);
    } else {
        // The shared marker of empty moves: nothing reads it back.
        recorded_ = pos;
    }
    return true;
}

LiteralNode::LiteralNode(uint32_t flags, std::u16string text) : RegExpNode(flags), text_(std::move(text)) {
    SetShape(1, 1 + text_.size() / 16);
}

void LiteralNode::Append(const std::u16string& more) {
    text_ += more;
    SetShape(1, 1 + text_.size() / 16);
}

namespace {

// Length of the common start of `text` and the subject at `at`, charged to the
// search's budget. The subject ends in NUL and the text holds none, so the compare
// stops there.
size_t CommonLength(RegExpMatcher& m, const char16_t* text, size_t n, const char16_t* at) {
    size_t i = 0;
    while (i < n && at[i] == text[i]) ++i;
    m.Charge(i);
    return i;
}

}  // namespace

bool LiteralNode::TestForward(RegExpMatcher& m, const char16_t*& pos) {
    const size_t n = text_.size();
    if (CommonLength(m, text_.data(), n, pos) != n) return false;
    pos += n;
    return true;
}

bool LiteralNode::TestBackward(RegExpMatcher& m, const char16_t*& pos) {
    const size_t n = text_.size();
    if (static_cast<size_t>(pos - m.Start()) < n) return false;
    if (CommonLength(m, text_.data(), n, pos - n) != n) return false;
    pos -= n;
    return true;
}

bool RangeNode::Accepts(char16_t c) const {
    if (c == 0) return false;
    if (LineMode() && IsLineTerminator(c)) return false;
    return low_ <= c && c <= high_;
}

bool RangeNode::TestForward(RegExpMatcher&, const char16_t*& pos) {
    if (!Accepts(*pos)) return false;
    ++pos;
    return true;
}

bool RangeNode::TestBackward(RegExpMatcher& m, const char16_t*& pos) {
    if (pos == m.Start() || !Accepts(pos[-1])) return false;
    --pos;
    return true;
}

ExcludedSetNode::ExcludedSetNode(uint32_t flags, const std::u16string& excluded)
    : ExcludedSetNode(flags, [&excluded] {
          std::vector<Range> ranges;
          for (const char16_t c : excluded) ranges.emplace_back(c, c);
          return ranges;
      }()) {}

ExcludedSetNode::ExcludedSetNode(uint32_t flags, std::vector<Range> excluded) : RegExpNode(flags) {
    std::sort(excluded.begin(), excluded.end());
    for (const Range& r : excluded) {
        if (!excluded_.empty() && r.first <= excluded_.back().second + 1) {
            excluded_.back().second = std::max(excluded_.back().second, r.second);
        } else {
            excluded_.push_back(r);
        }
    }
}

bool ExcludedSetNode::Accepts(char16_t c) const {
    if (c == 0) return false;
    // The last range starting at or below c is the only one that can hold it.
    auto after = std::upper_bound(excluded_.begin(), excluded_.end(), c,
                                  [](char16_t value, const Range& r) { return value < r.first; });
    return after == excluded_.begin() || std::prev(after)->second < c;
}

bool ExcludedSetNode::TestForward(RegExpMatcher&, const char16_t*& pos) {
    if (!Accepts(*pos)) return false;
    ++pos;
    return true;
}

bool ExcludedSetNode::TestBackward(RegExpMatcher& m, const char16_t*& pos) {
    if (pos == m.Start() || !Accepts(pos[-1])) return false;
    --pos;
    return true;
}

bool ProgressCheckNode::TestForward(RegExpMatcher&, const char16_t*& pos) { return pos != entry_->Recorded(); }

bool BackReferenceNode::TestForward(RegExpMatcher& m, const char16_t*& pos) {
    const char16_t* begin = nullptr;
    const char16_t* end = nullptr;
    if (!group_->Span(begin, end)) return true;  // nothing captured: empty text
    const size_t n = static_cast<size_t>(end - begin);
    if (CommonLength(m, begin, n, pos) != n) return false;
    pos += n;
    return true;
}

bool BackReferenceNode::TestBackward(RegExpMatcher& m, const char16_t*& pos) {
    const char16_t* begin = nullptr;
    const char16_t* end = nullptr;
    if (!group_->Span(begin, end)) return true;
    const size_t n = static_cast<size_t>(end - begin);
    if (static_cast<size_t>(pos - m.Start()) < n) return false;
    if (CommonLength(m, begin, n, pos - n) != n) return false;
    pos -= n;
    return true;
}

// ---- composite items -----------------------------------------------------------

AlternationNode::AlternationNode(uint32_t flags, std::vector<RegExpNode*> alternatives)
    : RegExpNode(flags), alternatives_(std::move(alternatives)) {
    uint32_t depth = 0;
    uint64_t cost = 1;
    for (const RegExpNode* a : alternatives_) {
        depth = std::max(depth, a->Depth());
        cost = AddCost(cost, a->Cost());
    }
    SetShape(depth + 1, cost);
}

void AlternationNode::Add(RegExpNode* alternative) {
    alternatives_.push_back(alternative);
    SetShape(std::max(Depth(), alternative->Depth() + 1), AddCost(Cost(), alternative->Cost()));
}

void AlternationNode::Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) {
    if (alternatives_.empty()) {
        // An empty class: a dead end rather than a state without edges, which
        // would count as accepting.
        graph.AddEdge(in, graph.Adopt(std::make_unique<NeverNode>(Flags())), out);
        return;
    }
    for (RegExpNode* a : alternatives_) a->Build(graph, in, out, backward);
}

SequenceNode::SequenceNode(uint32_t flags, std::vector<RegExpNode*> items, bool reverse)
    : RegExpNode(flags), items_(std::move(items)), reverse_(reverse) {
    uint32_t depth = 0;
    uint64_t cost = 1;
    for (const RegExpNode* i : items_) {
        depth = std::max(depth, i->Depth());
        cost = AddCost(cost, i->Cost());
    }
    SetShape(depth + 1, cost);
}

void SequenceNode::Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) {
    graph.Ensure(in);
    if (items_.empty()) {
        graph.AddEdge(in, graph.SharedMarker(), out);
        return;
    }
    // A backward match reads the subject from the right, so the items are laid
    // out last first; that holds for every sequence inside a lookbehind.
    const size_t n = items_.size();
    RegExpState* from = in;
    for (size_t k = 0; k < n; ++k) {
        RegExpNode* item = items_[backward ? n - 1 - k : k];
        if (k + 1 == n) {
            item->Build(graph, from, out, backward);
        } else {
            RegExpState* next = nullptr;
            item->Build(graph, from, next, backward);
            from = next;
        }
    }
}

RepeatNode::RepeatNode(uint32_t flags, uint32_t min, uint32_t max, bool greedy, RegExpNode* inner)
    : RegExpNode(flags), min_(min), max_(max), greedy_(greedy), inner_(inner) {
    SetShape(inner->Depth() + 1, EstimateCost(min, max, *inner));
}

uint64_t RepeatNode::EstimateCost(uint32_t min, uint32_t max, const RegExpNode& inner) {
    const uint64_t c = std::max<uint64_t>(inner.Cost(), 1);
    uint64_t cost = AddCost(MulCost(min, c), 4);
    if (max == kUnbounded) return AddCost(cost, c);
    const uint64_t n = max - min;
    // Every choice k = 1..n is its own chain of k copies: n(n+1)/2 copies in all.
    const uint64_t copies = (n % 2 == 0) ? MulCost(n / 2, n + 1) : MulCost(n, (n + 1) / 2);
    return AddCost(AddCost(cost, MulCost(copies, c)), n);
}

RegExpNode* RepeatNode::Copies(RegExpGraph& graph, uint32_t count) {
    if (count == 1) return inner_;
    if (count > 1 && inner_->IsLiteral()) {
        const std::u16string& unit = static_cast<const LiteralNode*>(inner_)->Text();
        std::u16string text;
        text.reserve(unit.size() * count);
        for (uint32_t i = 0; i < count; ++i) text += unit;
        return graph.Adopt(std::make_unique<LiteralNode>(Flags(), std::move(text)));
    }
    return graph.Adopt(
        std::make_unique<SequenceNode>(Flags(), std::vector<RegExpNode*>(count, inner_), false));
}

void RepeatNode::Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) {
    RegExpNode* required = Copies(graph, min_);
    if (max_ == min_) {
        required->Build(graph, in, out, backward);
        return;
    }
    RegExpState* m = nullptr;
    required->Build(graph, in, m, backward);
    PositionMarker* shared = graph.SharedMarker();

    if (max_ == kUnbounded) {
        graph.Ensure(out);
        if (!loopEntry_) {
            loopEntry_ = static_cast<PositionMarker*>(graph.Adopt(std::make_unique<PositionMarker>(Flags(), true)));
            loopCheck_ = graph.Adopt(std::make_unique<ProgressCheckNode>(Flags(), loopEntry_));
        }
        // loop --entry--> body ... back --progress--> loop; a pass that consumed
        // nothing fails at the progress check, so `(a*)*` cannot spin.
        RegExpState* loop = graph.NewState();
        RegExpState* body = nullptr;
        RegExpState* back = nullptr;
        graph.AddEdge(loop, loopEntry_, body);
        inner_->Build(graph, body, back, backward);
        graph.AddEdge(back, loopCheck_, loop);
        graph.AddEdge(m, shared, loop);
        graph.AddEdge(loop, shared, out, !greedy_);  // greedy: repeat first; lazy: leave first
        return;
    }

    const uint32_t n = max_ - min_;
    std::vector<RegExpNode*> choices;
    choices.reserve(n);
    for (uint32_t i = 0; i < n; ++i) choices.push_back(Copies(graph, greedy_ ? n - i : i + 1));
    RegExpNode* alternation = graph.Adopt(std::make_unique<AlternationNode>(Flags(), std::move(choices)));
    RegExpState* k = nullptr;
    alternation->Build(graph, k, out, backward);
    graph.AddEdge(k, shared, out, !greedy_);
    graph.AddEdge(m, shared, k);
}

SubMatchNode::SubMatchNode(uint32_t flags, RegExpNode* inner) : RegExpNode(flags), inner_(inner) {
    SetShape(inner->Depth() + 1, AddCost(inner->Cost(), 2));
}

void SubMatchNode::Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) {
    graph.AddEdge(in, this, out);
    // The inner part lives in its own corner of the graph, built once even when a
    // repeat builds this item several times.
    if (entry_) return;
    RegExpState* entry = graph.NewState();
    RegExpState* accept = graph.NewState();
    inner_->Build(graph, entry, accept, InnerBackward(backward));
    entry_ = entry;
}

bool AtomicNode::TestForward(RegExpMatcher& m, const char16_t*& pos) {
    const char16_t* p = pos;
    if (!m.Run(Entry(), p, false)) return false;
    pos = p;
    return true;
}

bool AtomicNode::TestBackward(RegExpMatcher& m, const char16_t*& pos) {
    const char16_t* p = pos;
    if (!m.Run(Entry(), p, true)) return false;
    pos = p;
    return true;
}

bool LookaroundNode::TestForward(RegExpMatcher& m, const char16_t*& pos) {
    const size_t mark = m.TrailMark();
    const char16_t* p = pos;
    const bool found = m.Run(Entry(), p, !ahead_);
    if (positive_) return found;
    // Captures made inside a negative lookaround never count.
    if (found) m.UndoTo(mark);
    return !found;
}

GroupNode::GroupNode(uint32_t flags, RegExpNode* inner, std::u16string name)
    : RegExpNode(flags), inner_(inner), start_(flags, true), end_(flags, true), name_(std::move(name)) {
    SetShape(inner->Depth() + 1, AddCost(inner->Cost(), 2));
}

void GroupNode::Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) {
    graph.Ensure(in);
    graph.Ensure(out);
    RegExpState* a = graph.NewState();
    RegExpState* b = nullptr;
    inner_->Build(graph, a, b, backward);
    // Read backward, the group's right end is passed first: the markers swap so
    // that the start marker still holds the left end.
    graph.AddEdge(in, backward ? &end_ : &start_, a);
    graph.AddEdge(b, backward ? &start_ : &end_, out);
}

bool GroupNode::Span(const char16_t*& begin, const char16_t*& end) const {
    begin = start_.Recorded();
    end = end_.Recorded();
    if (!begin || !end) return false;
    if (end < begin) end = begin;
    return true;
}

}  // namespace quorvane
