#pragma once
// The items of a compiled regular expression and the graph of states they build.
// Items form a tree made by the compiler; `Build` turns the tree into states joined
// by edges, each edge carrying one single-step item that the matcher tests.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "regex/regexp_error.h"

namespace quorvane {

// Flags word bits, copied into every item when it is created.
inline constexpr uint32_t kRegExpCaseSensitive = 1;
inline constexpr uint32_t kRegExpLineMode = 2;
inline constexpr uint32_t kRegExpIgnoreSpace = 4;

class RegExpNode;
class PositionMarker;
class RegExpMatcher;

struct RegExpEdge {
    RegExpNode* item;
    struct RegExpState* target;
};

struct RegExpState {
    explicit RegExpState(uint32_t number) : id(number) {}
    std::vector<RegExpEdge> edges;  // tried in order; none means accept
    uint32_t id;
};

// What `Build` needs from the owner of the graph: new states, new items for the
// copies a repeat makes, and the one marker that carries empty moves.
class RegExpGraph {
public:
    virtual ~RegExpGraph() = default;
    virtual RegExpState* NewState() = 0;
    virtual PositionMarker* SharedMarker() = 0;
    // Items made while building (repeat copies) are owned by the graph's owner.
    virtual RegExpNode* Adopt(std::unique_ptr<RegExpNode> item) = 0;
    // Appends an edge; counts it against the size limit.
    void AddEdge(RegExpState*& from, RegExpNode* item, RegExpState*& to, bool atFront = false);
    RegExpState* Ensure(RegExpState*& slot);
};

class RegExpNode {
public:
    explicit RegExpNode(uint32_t flags) : flags_(flags) {}
    virtual ~RegExpNode() = default;
    RegExpNode(const RegExpNode&) = delete;
    RegExpNode& operator=(const RegExpNode&) = delete;

    virtual bool IsLiteral() const { return false; }
    // Builds the edges of this item between the two slots; an empty slot gets a new
    // state. `backward` is set inside a lookbehind: sequences are laid out from the
    // right and groups record their markers the other way round.
    virtual void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward);
    // Single-step items only. On true `pos` may have moved; on false it is unchanged.
    virtual bool TestForward(RegExpMatcher& m, const char16_t*& pos);
    virtual bool TestBackward(RegExpMatcher& m, const char16_t*& pos);

    uint32_t Flags() const { return flags_; }
    bool LineMode() const { return (flags_ & kRegExpLineMode) != 0; }
    // Nesting depth of the item tree below this item (1 for a leaf).
    uint32_t Depth() const { return depth_; }
    // Upper estimate of the edges (and literal text) the item builds; saturates.
    uint64_t Cost() const { return cost_; }

protected:
    void SetShape(uint32_t depth, uint64_t cost) {
        depth_ = depth;
        cost_ = cost;
    }

private:
    uint32_t flags_;
    uint32_t depth_ = 1;
    uint64_t cost_ = 1;
};

class AnyCharNode final : public RegExpNode {
public:
    using RegExpNode::RegExpNode;
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;
};

class LineStartNode final : public RegExpNode {
public:
    using RegExpNode::RegExpNode;
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }
};

class LineEndNode final : public RegExpNode {
public:
    using RegExpNode::RegExpNode;
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }
};

class WordBoundaryNode final : public RegExpNode {
public:
    WordBoundaryNode(uint32_t flags, bool negate) : RegExpNode(flags), negate_(negate) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }

private:
    bool negate_;
};

// Records the position where the path passed it. Group markers are read for the
// captured text; every change goes through the matcher so backtracking undoes it.
class PositionMarker final : public RegExpNode {
public:
    PositionMarker(uint32_t flags, bool logged) : RegExpNode(flags), logged_(logged) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }
    const char16_t* Recorded() const { return recorded_; }
    void SetRecorded(const char16_t* pos) { recorded_ = pos; }

private:
    const char16_t* recorded_ = nullptr;
    bool logged_;
};

class LiteralNode final : public RegExpNode {
public:
    LiteralNode(uint32_t flags, std::u16string text);
    bool IsLiteral() const override { return true; }
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;
    const std::u16string& Text() const { return text_; }
    void Append(const std::u16string& more);

private:
    std::u16string text_;
};

class RangeNode final : public RegExpNode {
public:
    RangeNode(uint32_t flags, char16_t low, char16_t high) : RegExpNode(flags), low_(low), high_(high) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;

private:
    bool Accepts(char16_t c) const;
    char16_t low_;
    char16_t high_;
};

class ExcludedSetNode final : public RegExpNode {
public:
    using Range = std::pair<char16_t, char16_t>;  // low, high; low <= high
    // The excluded characters one each.
    ExcludedSetNode(uint32_t flags, const std::u16string& excluded);
    // The excluded characters as ranges, which may overlap. They are kept as ranges,
    // not expanded: a class may list the widest range thousands of times.
    ExcludedSetNode(uint32_t flags, std::vector<Range> excluded);
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;

private:
    bool Accepts(char16_t c) const;
    std::vector<Range> excluded_;  // sorted, disjoint and not adjacent
};

// An edge that never passes: the body of an empty class `[]`.
class NeverNode final : public RegExpNode {
public:
    using RegExpNode::RegExpNode;
    bool TestForward(RegExpMatcher&, const char16_t*&) override { return false; }
    bool TestBackward(RegExpMatcher&, const char16_t*&) override { return false; }
};

// Passes only when the position differs from the one its marker recorded: a pass
// through a loop that consumed nothing ends the loop instead of repeating forever.
class ProgressCheckNode final : public RegExpNode {
public:
    ProgressCheckNode(uint32_t flags, const PositionMarker* entry) : RegExpNode(flags), entry_(entry) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }

private:
    const PositionMarker* entry_;
};

class AlternationNode final : public RegExpNode {
public:
    AlternationNode(uint32_t flags, std::vector<RegExpNode*> alternatives);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;
    void Add(RegExpNode* alternative);
    bool Empty() const { return alternatives_.empty(); }

private:
    std::vector<RegExpNode*> alternatives_;
};

class SequenceNode final : public RegExpNode {
public:
    SequenceNode(uint32_t flags, std::vector<RegExpNode*> items, bool reverse);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;
    bool Reverse() const { return reverse_; }

private:
    std::vector<RegExpNode*> items_;
    bool reverse_;
};

class RepeatNode final : public RegExpNode {
public:
    static constexpr uint32_t kUnbounded = 0xFFFFFFFFu;
    RepeatNode(uint32_t flags, uint32_t min, uint32_t max, bool greedy, RegExpNode* inner);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;

    // The edge estimate of a repeat before it is made, for the size limit.
    static uint64_t EstimateCost(uint32_t min, uint32_t max, const RegExpNode& inner);

private:
    // `count` copies of the inner item as one item; literal copies become one literal.
    RegExpNode* Copies(RegExpGraph& graph, uint32_t count);
    uint32_t min_;
    uint32_t max_;
    bool greedy_;
    RegExpNode* inner_;
    PositionMarker* loopEntry_ = nullptr;  // made on the first build of a loop
    RegExpNode* loopCheck_ = nullptr;
};

// Items that run their inner part as a separate match: atomic groups and lookarounds.
class SubMatchNode : public RegExpNode {
public:
    SubMatchNode(uint32_t flags, RegExpNode* inner);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;

protected:
    virtual bool InnerBackward(bool backward) const = 0;
    RegExpState* Entry() const { return entry_; }

private:
    RegExpNode* inner_;
    RegExpState* entry_ = nullptr;
};

class AtomicNode final : public SubMatchNode {
public:
    using SubMatchNode::SubMatchNode;
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;

protected:
    bool InnerBackward(bool backward) const override { return backward; }
};

class LookaroundNode final : public SubMatchNode {
public:
    LookaroundNode(uint32_t flags, RegExpNode* inner, bool positive, bool ahead)
        : SubMatchNode(flags, inner), positive_(positive), ahead_(ahead) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }

protected:
    bool InnerBackward(bool) const override { return !ahead_; }

private:
    bool positive_;
    bool ahead_;
};

class GroupNode final : public RegExpNode {
public:
    GroupNode(uint32_t flags, RegExpNode* inner, std::u16string name);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;
    const std::u16string& Name() const { return name_; }
    PositionMarker& StartMarker() { return start_; }
    PositionMarker& EndMarker() { return end_; }
    // The group's text between its markers as they stand now; null when the group
    // has not been passed (or its end lies before its start).
    bool Span(const char16_t*& begin, const char16_t*& end) const;

private:
    RegExpNode* inner_;
    PositionMarker start_;
    PositionMarker end_;
    std::u16string name_;
};

class BackReferenceNode final : public RegExpNode {
public:
    BackReferenceNode(uint32_t flags, const GroupNode* group) : RegExpNode(flags), group_(group) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;

private:
    const GroupNode* group_;
};

}  // namespace quorvane
