#pragma once
// The items of a compiled regular expression and the graph of states they build.
// Items form a tree made by the compiler; `Build` turns the tree into states joined
// by edges, each edge carrying one single-step item that the matcher tests.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

// Compile-time errors. The values are what callers and users see; each names the
// first construct that raises it.
enum REGEXPERROR : int {
    REGEXP_ERROR_NUL_ESCAPE = 0,         // \0; pattern ends inside flag letters
    REGEXP_ERROR_BAD_ESCAPE = 1,         // \ before a character without a meaning
    REGEXP_ERROR_NO_SUCH_GROUP = 2,      // back-reference to no closed group; unknown group name
    REGEXP_ERROR_NOTHING_TO_REPEAT = 3,  // quantifier with nothing before it
    REGEXP_ERROR_OPEN_GROUP = 4,         // group or comment not closed
    REGEXP_ERROR_UNOPENED_GROUP = 5,     // ) without (
    REGEXP_ERROR_UNTERMINATED = 6,       // (? or class or group name cut off by the end
    REGEXP_ERROR_RANGE_TO_BRACKET = 7,   // class range ending in ]
    REGEXP_ERROR_RANGE_ORDER = 8,        // class range upper end below lower end
    REGEXP_ERROR_COUNT_DIGIT = 9,        // non-digit in {m,n}
    REGEXP_ERROR_COUNT_RANGE = 10,       // {m,n} with n < m, or beyond the size limit
    REGEXP_ERROR_EXPECTED_CHAR = 11,     // (?P without <; {m,n without }
    REGEXP_ERROR_TOO_MANY_GROUPS = 12,   // group number 256 or more; nesting too deep
    REGEXP_ERROR_BAD_FLAG = 13,          // letter other than i, m, x in (?...)
};

// Flags word bits, copied into every item when it is created.
inline constexpr uint32_t kRegExpCaseSensitive = 1;
inline constexpr uint32_t kRegExpLineMode = 2;
inline constexpr uint32_t kRegExpIgnoreSpace = 4;

class CRegExpNode;
class CPositionMarker;
class RegExpMatcher;

struct RegExpEdge {
    CRegExpNode* item;
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
    virtual CPositionMarker* SharedMarker() = 0;
    // Items made while building (repeat copies) are owned by the graph's owner.
    virtual CRegExpNode* Adopt(std::unique_ptr<CRegExpNode> item) = 0;
    // Appends an edge; counts it against the size limit.
    void AddEdge(RegExpState*& from, CRegExpNode* item, RegExpState*& to, bool atFront = false);
    RegExpState* Ensure(RegExpState*& slot);
};

class CRegExpNode {
public:
    explicit CRegExpNode(uint32_t flags) : flags_(flags) {}
    virtual ~CRegExpNode() = default;
    CRegExpNode(const CRegExpNode&) = delete;
    CRegExpNode& operator=(const CRegExpNode&) = delete;

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

class CAnyCharNode final : public CRegExpNode {
public:
    using CRegExpNode::CRegExpNode;
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;
};

class CLineStartNode final : public CRegExpNode {
public:
    using CRegExpNode::CRegExpNode;
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }
};

class CLineEndNode final : public CRegExpNode {
public:
    using CRegExpNode::CRegExpNode;
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }
};

class CWordBoundaryNode final : public CRegExpNode {
public:
    CWordBoundaryNode(uint32_t flags, bool negate) : CRegExpNode(flags), negate_(negate) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }

private:
    bool negate_;
};

// Records the position where the path passed it. Group markers are read for the
// captured text; every change goes through the matcher so backtracking undoes it.
class CPositionMarker final : public CRegExpNode {
public:
    CPositionMarker(uint32_t flags, bool logged) : CRegExpNode(flags), logged_(logged) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }
    const char16_t* Recorded() const { return recorded_; }
    void SetRecorded(const char16_t* pos) { recorded_ = pos; }

private:
    const char16_t* recorded_ = nullptr;
    bool logged_;
};

class CLiteralNode final : public CRegExpNode {
public:
    CLiteralNode(uint32_t flags, std::u16string text);
    bool IsLiteral() const override { return true; }
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;
    const std::u16string& Text() const { return text_; }
    void Append(const std::u16string& more);

private:
    std::u16string text_;
};

class CRangeNode final : public CRegExpNode {
public:
    CRangeNode(uint32_t flags, char16_t low, char16_t high) : CRegExpNode(flags), low_(low), high_(high) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;

private:
    bool Accepts(char16_t c) const;
    char16_t low_;
    char16_t high_;
};

class CExcludedSetNode final : public CRegExpNode {
public:
    // The excluded characters one each (ranges expanded); kept sorted for lookup.
    CExcludedSetNode(uint32_t flags, std::u16string excluded);
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;

private:
    bool Accepts(char16_t c) const;
    std::u16string excluded_;
};

// An edge that never passes: the body of an empty class `[]`.
class CNeverNode final : public CRegExpNode {
public:
    using CRegExpNode::CRegExpNode;
    bool TestForward(RegExpMatcher&, const char16_t*&) override { return false; }
    bool TestBackward(RegExpMatcher&, const char16_t*&) override { return false; }
};

// Passes only when the position differs from the one its marker recorded: a pass
// through a loop that consumed nothing ends the loop instead of repeating forever.
class CProgressCheckNode final : public CRegExpNode {
public:
    CProgressCheckNode(uint32_t flags, const CPositionMarker* entry) : CRegExpNode(flags), entry_(entry) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }

private:
    const CPositionMarker* entry_;
};

class CAlternationNode final : public CRegExpNode {
public:
    CAlternationNode(uint32_t flags, std::vector<CRegExpNode*> alternatives);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;
    void Add(CRegExpNode* alternative);
    bool Empty() const { return alternatives_.empty(); }

private:
    std::vector<CRegExpNode*> alternatives_;
};

class CSequenceNode final : public CRegExpNode {
public:
    CSequenceNode(uint32_t flags, std::vector<CRegExpNode*> items, bool reverse);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;
    bool Reverse() const { return reverse_; }

private:
    std::vector<CRegExpNode*> items_;
    bool reverse_;
};

class CRepeatNode final : public CRegExpNode {
public:
    static constexpr uint32_t kUnbounded = 0xFFFFFFFFu;
    CRepeatNode(uint32_t flags, uint32_t min, uint32_t max, bool greedy, CRegExpNode* inner);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;

    // The edge estimate of a repeat before it is made, for the size limit.
    static uint64_t EstimateCost(uint32_t min, uint32_t max, const CRegExpNode& inner);

private:
    // `count` copies of the inner item as one item; literal copies become one literal.
    CRegExpNode* Copies(RegExpGraph& graph, uint32_t count);
    uint32_t min_;
    uint32_t max_;
    bool greedy_;
    CRegExpNode* inner_;
    CPositionMarker* loopEntry_ = nullptr;  // made on the first build of a loop
    CRegExpNode* loopCheck_ = nullptr;
};

// Items that run their inner part as a separate match: atomic groups and lookarounds.
class CSubMatchNode : public CRegExpNode {
public:
    CSubMatchNode(uint32_t flags, CRegExpNode* inner);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;

protected:
    virtual bool InnerBackward(bool backward) const = 0;
    RegExpState* Entry() const { return entry_; }

private:
    CRegExpNode* inner_;
    RegExpState* entry_ = nullptr;
};

class CAtomicNode final : public CSubMatchNode {
public:
    using CSubMatchNode::CSubMatchNode;
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;

protected:
    bool InnerBackward(bool backward) const override { return backward; }
};

class CLookaroundNode final : public CSubMatchNode {
public:
    CLookaroundNode(uint32_t flags, CRegExpNode* inner, bool positive, bool ahead)
        : CSubMatchNode(flags, inner), positive_(positive), ahead_(ahead) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override { return TestForward(m, pos); }

protected:
    bool InnerBackward(bool) const override { return !ahead_; }

private:
    bool positive_;
    bool ahead_;
};

class CGroupNode final : public CRegExpNode {
public:
    CGroupNode(uint32_t flags, CRegExpNode* inner, std::u16string name);
    void Build(RegExpGraph& graph, RegExpState*& in, RegExpState*& out, bool backward) override;
    const std::u16string& Name() const { return name_; }
    CPositionMarker& StartMarker() { return start_; }
    CPositionMarker& EndMarker() { return end_; }
    // The group's text between its markers as they stand now; null when the group
    // has not been passed (or its end lies before its start).
    bool Span(const char16_t*& begin, const char16_t*& end) const;

private:
    CRegExpNode* inner_;
    CPositionMarker start_;
    CPositionMarker end_;
    std::u16string name_;
};

class CBackReferenceNode final : public CRegExpNode {
public:
    CBackReferenceNode(uint32_t flags, const CGroupNode* group) : CRegExpNode(flags), group_(group) {}
    bool TestForward(RegExpMatcher& m, const char16_t*& pos) override;
    bool TestBackward(RegExpMatcher& m, const char16_t*& pos) override;

private:
    const CGroupNode* group_;
};

}  // namespace quorvane
