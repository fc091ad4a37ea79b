// The pattern compiler: one pass left to right, building the item tree of the
// current nesting level, then the state graph.
#include <algorithm>

#include "regex/regexp.h"

namespace quorvane {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Reads a decimal number, saturating far above every limit.
uint64_t ReadNumber(const char16_t*& p) {
    uint64_t value = 0;
    while (IsDigit(*p)) {
        value = std::min<uint64_t>(value * 10 + (*p - u'0'), 1'000'000'000'000ull);
        ++p;
    }
    return value;
}

bool IsPatternBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

}  // namespace

template <typename T, typename... Args>
T* RegExp::Make(Args&&... args) {
    auto item = std::make_unique<T>(std::forward<Args>(args)...);
    if (item->Depth() > kMaxNesting) throw RegExpException(RegExpError::TooManyGroups);
    if (item->Cost() > kMaxGraphCost) throw RegExpException(RegExpError::CountRange);
    T* raw = item.get();
    Adopt(std::move(item));
    return raw;
}

void RegExp::Compile(const char16_t* pattern) {
    Reset();
    static const char16_t kEmpty[] = u"";
    cursor_ = pattern ? pattern : kEmpty;
    for (; *cursor_; ++cursor_) {
        const char16_t c = *cursor_;
        switch (c) {
        case u'$': Append(Make<LineEndNode>(flags_)); break;
        case u'^': Append(Make<LineStartNode>(flags_)); break;
        case u'.': Append(Make<AnyCharNode>(flags_)); break;
        case u'(': ParseGroupOpening(); break;
        case u')': ParseGroupClosing(); break;
        case u'*': ParseQuantifier(0, RepeatNode::kUnbounded); break;
        case u'+': ParseQuantifier(1, RepeatNode::kUnbounded); break;
        case u'?': ParseQuantifier(0, 1); break;
        case u'{': ParseCount(); break;
        case u'[': ParseClass(); break;
        case u'\\': ParseEscape(); break;
        case u'|': {
            // Alternatives of one level keep their written order.
            RegExpNode* finished = FinishSequence();
            current_.alternatives.push_back(finished);
            break;
        }
        default:
            if ((flags_ & kRegExpIgnoreSpace) && IsPatternBlank(c)) break;
            Append(Make<LiteralNode>(flags_, std::u16string(1, c)));
            break;
        }
    }
    if (!openGroups_.empty()) throw RegExpException(RegExpError::OpenGroup);
    RegExpNode* whole = FinishLevel();
    GroupNode* group0 = Make<GroupNode>(flags_, whole, std::u16string());
    groupTable_[0] = group0;
    markers_.push_back(&group0->StartMarker());
    markers_.push_back(&group0->EndMarker());
    RegExpState* start = nullptr;
    RegExpState* accept = nullptr;
    group0->Build(*this, start, accept, false);
    startState_ = start;
}

void RegExp::MergeLastLiterals() {
    auto& seq = current_.sequence;
    const size_t n = seq.size();
    if (n < 2 || !seq[n - 1]->IsLiteral() || !seq[n - 2]->IsLiteral()) return;
    static_cast<LiteralNode*>(seq[n - 2])->Append(static_cast<LiteralNode*>(seq[n - 1])->Text());
    seq.pop_back();
}

void RegExp::Append(RegExpNode* item) {
    // The newest literal stays separate so that a quantifier after it takes only
    // its last character: `abc*` repeats `c`.
    MergeLastLiterals();
    current_.sequence.push_back(item);
}

RegExpNode* RegExp::FinishSequence() {
    MergeLastLiterals();
    std::vector<RegExpNode*> seq = std::move(current_.sequence);
    current_.sequence.clear();
    if (seq.size() == 1) return seq.front();
    // A lookbehind's own sequence is marked reversed (its kind is neither
    // capturing nor lookahead); the builder reverses every sequence it lays out
    // for a backward match.
    const bool reverse = !openGroups_.empty() && (openGroups_.back().kind & (kKindCapturing | kKindLookahead)) == 0;
    return Make<SequenceNode>(flags_, std::move(seq), reverse);
}

RegExpNode* RegExp::FinishLevel() {
    RegExpNode* item = FinishSequence();
    if (!current_.alternatives.empty()) {
        std::vector<RegExpNode*> alternatives = std::move(current_.alternatives);
        alternatives.push_back(item);
        item = Make<AlternationNode>(flags_, std::move(alternatives));
    }
    current_ = Level{};
    return item;
}

void RegExp::ParseQuantifier(uint32_t min, uint32_t max) {
    bool greedy = true;
    bool possessive = false;
    if (cursor_[1] == u'?') {
        greedy = false;
        ++cursor_;
    } else if (cursor_[1] == u'+') {
        possessive = true;
        ++cursor_;
    }
    auto& seq = current_.sequence;
    if (seq.empty()) throw RegExpException(RegExpError::NothingToRepeat);
    RegExpNode* last = seq.back();
    if (RepeatNode::EstimateCost(min, max, *last) > kMaxGraphCost) throw RegExpException(RegExpError::CountRange);
    seq.pop_back();
    RegExpNode* result = Make<RepeatNode>(flags_, min, max, greedy, last);
    if (possessive) result = Make<AtomicNode>(flags_, result);
    Append(result);
}

void RegExp::ParseCount() {
    const char16_t* p = cursor_ + 1;
    if (!IsDigit(*p)) throw RegExpException(RegExpError::CountDigit);
    const uint64_t min = ReadNumber(p);
    // Without a closing brace max stays 0, so `{5` fails the order test first.
    uint64_t max = 0;
    if (*p != u',' && *p != u'}' && *p != 0) throw RegExpException(RegExpError::CountDigit);
    if (*p == u'}') {
        max = min;
    } else if (*p == u',') {
        ++p;
        if (*p == u'}') {
            max = RepeatNode::kUnbounded;
        } else if (IsDigit(*p)) {
            max = ReadNumber(p);
            if (*p != u'}' && *p != 0) throw RegExpException(RegExpError::CountDigit);
        } else {
            throw RegExpException(RegExpError::CountDigit);
        }
    }
    if (max < min) throw RegExpException(RegExpError::CountRange);
    if (*p != u'}') throw RegExpException(RegExpError::ExpectedChar);
    const bool unbounded = *(p - 1) == u',';
    if (min > kMaxRepeatCount || (!unbounded && max > kMaxRepeatCount)) throw RegExpException(RegExpError::CountRange);
    cursor_ = p;
    ParseQuantifier(static_cast<uint32_t>(min), unbounded ? RepeatNode::kUnbounded : static_cast<uint32_t>(max));
}

void RegExp::ParseClass() {
    const char16_t* p = cursor_ + 1;
    const bool negated = *p == u'^';
    if (negated) ++p;
    if (*p == 0) throw RegExpException(RegExpError::Unterminated);
    std::vector<RegExpNode*> alternatives;
    std::vector<ExcludedSetNode::Range> excluded;
    // Inside a class every character stands for itself, the backslash included.
    for (;; ++p) {
        const char16_t c = *p;
        if (c == 0) throw RegExpException(RegExpError::Unterminated);
        if (c == u']') break;
        if (p[1] == u'-') {
            const char16_t d = p[2];
            if (d == u']') throw RegExpException(RegExpError::RangeToBracket);
            if (d == 0) throw RegExpException(RegExpError::Unterminated);
            if (d < c) throw RegExpException(RegExpError::RangeOrder);
            if (negated) {
                excluded.emplace_back(c, d);
            } else {
                alternatives.push_back(Make<RangeNode>(flags_, c, d));
            }
            p += 2;
        } else if (negated) {
            excluded.emplace_back(c, c);
        } else {
            alternatives.push_back(Make<LiteralNode>(flags_, std::u16string(1, c)));
        }
    }
    cursor_ = p;
    if (negated) {
        Append(Make<ExcludedSetNode>(flags_, std::move(excluded)));
    } else {
        Append(Make<AlternationNode>(flags_, std::move(alternatives)));
    }
}

void RegExp::ParseEscape() {
    const char16_t c = cursor_[1];
    if (c == 0) throw RegExpException(RegExpError::BadEscape);
    ++cursor_;
    static const char16_t kWordChars[] =
        u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    static const char16_t kSpaceChars[] = {u' ', u'\t', u'\n', u'\r', u'\f', u'\v', 0};
    switch (c) {
    case u'$': case u'(': case u')': case u'*': case u'+': case u'.': case u'?':
    case u'[': case u'\\': case u']': case u'^': case u'{': case u'|': case u'}':
        Append(Make<LiteralNode>(flags_, std::u16string(1, c)));
        return;
    case u'n': Append(Make<LiteralNode>(flags_, std::u16string(1, u'\n'))); return;
    case u'r': Append(Make<LiteralNode>(flags_, std::u16string(1, u'\r'))); return;
    case u't': Append(Make<LiteralNode>(flags_, std::u16string(1, u'\t'))); return;
    case u'd': Append(Make<RangeNode>(flags_, u'0', u'9')); return;
    case u'D': Append(Make<ExcludedSetNode>(flags_, std::u16string(u"0123456789"))); return;
    case u'w': {
        std::vector<RegExpNode*> parts{Make<RangeNode>(flags_, u'a', u'z'), Make<RangeNode>(flags_, u'A', u'Z'),
                                        Make<RangeNode>(flags_, u'0', u'9'),
                                        Make<LiteralNode>(flags_, std::u16string(1, u'_'))};
        Append(Make<AlternationNode>(flags_, std::move(parts)));
        return;
    }
    case u'W': Append(Make<ExcludedSetNode>(flags_, std::u16string(kWordChars))); return;
    case u's': {
        std::vector<RegExpNode*> parts;
        for (const char16_t* s = kSpaceChars; *s; ++s) parts.push_back(Make<LiteralNode>(flags_, std::u16string(1, *s)));
        Append(Make<AlternationNode>(flags_, std::move(parts)));
        return;
    }
    case u'S': Append(Make<ExcludedSetNode>(flags_, std::u16string(kSpaceChars))); return;
    case u'b': Append(Make<WordBoundaryNode>(flags_, false)); return;
    case u'B': Append(Make<WordBoundaryNode>(flags_, true)); return;
    case u'Q': {
        // Everything up to \E or the end of the pattern, backslashes included.
        const char16_t* begin = cursor_ + 1;
        const char16_t* p = begin;
        while (*p && !(p[0] == u'\\' && p[1] == u'E')) ++p;
        if (p > begin) Append(Make<LiteralNode>(flags_, std::u16string(begin, p)));
        cursor_ = *p ? p + 1 : p - 1;
        return;
    }
    case u'0': throw RegExpException(RegExpError::NulEscape);
    default:
        if (c >= u'1' && c <= u'9') {
            ParseBackReference();
            return;
        }
        throw RegExpException(RegExpError::BadEscape);
    }
}

void RegExp::ParseBackReference() {
    // All digits form one number; while it names no closed group, digits are given
    // back to the pattern: `(a)\12` is group 1 and the literal 2.
    const char16_t* first = cursor_;
    size_t digits = 0;
    while (IsDigit(first[digits])) ++digits;
    auto valueOf = [first](size_t count) {
        uint64_t v = 0;
        for (size_t i = 0; i < count && v < kGroupTableSize; ++i) v = v * 10 + (first[i] - u'0');
        return v;
    };
    auto named = [this](uint64_t v) { return v < kGroupTableSize && groupTable_[v] != nullptr; };
    size_t used = digits;
    while (used > 1 && !named(valueOf(used))) --used;
    const uint64_t number = valueOf(used);
    if (!named(number)) throw RegExpException(RegExpError::NoSuchGroup);
    Append(Make<BackReferenceNode>(flags_, groupTable_[number]));
    cursor_ = first + used - 1;
}

void RegExp::SkipComment(const char16_t* from) {
    const char16_t* p = from;
    while (*p && *p != u')') ++p;
    if (*p == 0) throw RegExpException(RegExpError::OpenGroup);
    cursor_ = p;
}

void RegExp::ParseGroupOpening() {
    const char16_t c1 = cursor_[1];
    if (c1 == 0) throw RegExpException(RegExpError::OpenGroup);
    if (c1 == u'#') {
        SkipComment(cursor_ + 2);
        return;
    }
    if (c1 != u'?') {
        PushGroup(kKindCapturing, {});
        return;
    }
    const char16_t c2 = cursor_[2];
    if (c2 == 0) throw RegExpException(RegExpError::Unterminated);
    if (c2 == u'#') {
        // The usual spelling of a comment, accepted beside `(#...)`.
        SkipComment(cursor_ + 3);
        return;
    }
    if (c2 == u'P') {
        if (cursor_[3] != u'<') throw RegExpException(RegExpError::ExpectedChar);
        const char16_t* begin = cursor_ + 4;
        const char16_t* p = begin;
        while (*p && *p != u'>') ++p;
        if (*p == 0) throw RegExpException(RegExpError::Unterminated);
        cursor_ = p;
        PushGroup(kKindNamed | kKindCapturing, std::u16string(begin, p));
        return;
    }
    if (c2 == u'>') {
        cursor_ += 2;
        PushGroup(kKindCapturing | kKindAtomic, {});
        return;
    }
    if (c2 == u'<' || c2 == u'=' || c2 == u'!' || c2 == u':') {
        uint32_t kind = kKindLookahead;
        const char16_t* p = cursor_ + 2;
        if (*p == u'<') {
            kind &= ~kKindLookahead;
            ++p;
        }
        switch (*p) {
        case u'=': kind |= kKindLookaround | kKindPositive; break;
        case u'!': kind = (kind | kKindLookaround) & ~kKindPositive; break;
        case u':': kind &= ~(kKindLookaround | kKindPositive); break;
        case 0: throw RegExpException(RegExpError::Unterminated);
        default: throw RegExpException(RegExpError::BadFlag);
        }
        cursor_ = p;
        PushGroup(kind, {});
        return;
    }
    ParseFlags(cursor_ + 2);
}

void RegExp::ParseFlags(const char16_t* letters) {
    bool set = true;
    const char16_t* p = letters;
    for (;; ++p) {
        const char16_t c = *p;
        if (c == 0) throw RegExpException(RegExpError::NulEscape);
        if (c == u')') break;
        if (c == u'-' && set) {
            set = false;
            continue;
        }
        uint32_t bit = 0;
        bool inverse = false;
        switch (c) {
        case u'i': bit = kRegExpCaseSensitive; inverse = true; break;  // `i` clears case sensitivity
        case u'm': bit = kRegExpLineMode; break;
        case u'x': bit = kRegExpIgnoreSpace; break;
        default: throw RegExpException(RegExpError::BadFlag);
        }
        if (set != inverse) {
            flags_ |= bit;
        } else {
            flags_ &= ~bit;
        }
    }
    cursor_ = p;
}

void RegExp::PushGroup(uint32_t kind, std::u16string name) {
    uint32_t number = 0;
    if (kind & kKindCapturing) number = ++groupCounter_;
    if (openGroups_.size() >= kMaxNesting) throw RegExpException(RegExpError::TooManyGroups);
    openGroups_.push_back({kind, number, std::move(name)});
    saved_.push_back(std::move(current_));
    current_ = Level{};
}

void RegExp::ParseGroupClosing() {
    if (openGroups_.empty()) throw RegExpException(RegExpError::UnopenedGroup);
    RegExpNode* item = FinishLevel();
    current_ = std::move(saved_.back());
    saved_.pop_back();
    const GroupInfo info = std::move(openGroups_.back());
    openGroups_.pop_back();
    if (info.kind & kKindCapturing) {
        if (info.number >= kGroupTableSize) throw RegExpException(RegExpError::TooManyGroups);
        if (info.kind & kKindAtomic) item = Make<AtomicNode>(flags_, item);
        GroupNode* group = Make<GroupNode>(flags_, item, info.name);
        markers_.push_back(&group->StartMarker());
        markers_.push_back(&group->EndMarker());
        groupTable_[info.number] = group;
        item = group;
    } else if (info.kind & kKindLookaround) {
        item = Make<LookaroundNode>(flags_, item, (info.kind & kKindPositive) != 0,
                                     (info.kind & kKindLookahead) != 0);
    }
    Append(item);
}

}  // namespace quorvane
