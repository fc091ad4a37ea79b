#include "regex/regexp.h"

#include "regex/regexp_matcher.h"

namespace quorvane {

RegExp::RegExp() { Reset(); }

RegExp::~RegExp() = default;

void RegExp::Reset() {
    cursor_ = nullptr;
    current_ = Level{};
    saved_.clear();
    openGroups_.clear();
    states_.clear();
    markers_.clear();
    items_.clear();
    groupTable_.fill(nullptr);
    startState_ = nullptr;
    groupCounter_ = 0;
    flags_ = kRegExpCaseSensitive | kRegExpLineMode;
    auto marker = std::make_unique<PositionMarker>(flags_, false);
    sharedMarker_ = marker.get();
    items_.push_back(std::move(marker));
    ClearCaptures();
}

RegExpState* RegExp::NewState() {
    states_.push_back(std::make_unique<RegExpState>(static_cast<uint32_t>(states_.size())));
    return states_.back().get();
}

RegExpNode* RegExp::Adopt(std::unique_ptr<RegExpNode> item) {
    if (auto* marker = dynamic_cast<PositionMarker*>(item.get())) markers_.push_back(marker);
    items_.push_back(std::move(item));
    return items_.back().get();
}

void RegExp::ResetMarkers() {
    for (PositionMarker* m : markers_) m->SetRecorded(nullptr);
}

void RegExp::ClearCaptures() {
    spans_.assign(kGroupTableSize, std::nullopt);
    texts_.assign(kGroupTableSize, std::u16string());
}

bool RegExp::Search(const char16_t*& pos) {
    const char16_t* const start = pos;
    ClearCaptures();
    gaveUp_ = false;
    if (!startState_ || !start || *start == 0) return false;
    // Markers start empty for every search, so no capture can come from an
    // earlier subject; within the search, backtracking undoes what failed paths set.
    ResetMarkers();
    RegExpMatcher matcher(start, stepLimit_, kStackLimit);
    try {
        for (const char16_t* p = start;; ++p) {
            const char16_t* q = p;
            if (matcher.Run(startState_, q, false)) {
                for (unsigned n = 0; n <= groupCounter_ && n < kGroupTableSize; ++n) {
                    const char16_t* b = nullptr;
                    const char16_t* e = nullptr;
                    if (!groupTable_[n] || !groupTable_[n]->Span(b, e)) continue;
                    spans_[n] = std::make_pair(static_cast<size_t>(b - start), static_cast<size_t>(e - start));
                    texts_[n].assign(b, e);
                }
                matcher.CommitTrail();
                ResetMarkers();
                pos = q;
                return true;
            }
            // The end position itself is never tried.
            if (p[1] == 0) break;
        }
    } catch (const RegExpMatcher::BudgetExhausted&) {
        gaveUp_ = true;
    }
    ResetMarkers();
    pos = start;
    return false;
}

bool RegExp::HasGroup(std::u16string_view name) const {
    for (unsigned n = 1; n < kGroupTableSize && groupTable_[n]; ++n) {
        if (groupTable_[n]->Name() == name) return true;
    }
    return false;
}

std::u16string RegExp::GetGroupText(std::u16string_view name) const {
    for (unsigned n = 1; n < kGroupTableSize && groupTable_[n]; ++n) {
        if (groupTable_[n]->Name() == name) return texts_[n];
    }
    throw RegExpException(RegExpError::NoSuchGroup);
}

unsigned RegExp::GroupCount() const {
    unsigned n = 1;
    while (n < kGroupTableSize && groupTable_[n]) ++n;
    return n - 1;
}

const std::u16string& RegExp::GroupName(unsigned number) const {
    static const std::u16string kNone;
    if (number >= kGroupTableSize || !groupTable_[number]) return kNone;
    return groupTable_[number]->Name();
}

std::u16string RegExp::GroupTextByNumber(unsigned number) const {
    return number < kGroupTableSize ? texts_[number] : std::u16string();
}

std::optional<std::pair<size_t, size_t>> RegExp::GroupSpan(unsigned number) const {
    return number < kGroupTableSize ? spans_[number] : std::nullopt;
}

}  // namespace quorvane
