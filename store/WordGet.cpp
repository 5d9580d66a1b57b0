#include "store/WordGet.h"

#include <climits>
#include <cstring>
#include <new>
#include <optional>

#include "store/text/Text.h"

namespace {

// The word a caller passes, as far as a stored word could reach: stored words
// are shorter than the field, so a longer text matches none of them.
std::u16string_view wordOf(const char16_t* word) noexcept
{
    return std::u16string_view(word, boundedLength(word, kWordUnits));
}

void normalizeField(char16_t* field, std::size_t units)
{
    std::size_t n = boundedLength(field, units);
    if (n == units) n = cutLength(std::u16string_view(field, units), units - 1);
    std::memset(field + n, 0, (units - n) * sizeof(char16_t));
}

}  // namespace

void WordGet::bump(std::int32_t& counter, int delta)
{
    const std::int64_t value = std::int64_t{counter} + delta;
    counter = value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(value);
}

void WordGet::normalize(WordEntry& entry)
{
    normalizeField(entry.word, kWordUnits);
    normalizeField(entry.phonetic, kPhoneticUnits);
    normalizeField(entry.content, kContentUnits);
}

WordGet::WordGet() = default;

WordGet::~WordGet()
{
    bool pending;
    {
        std::lock_guard guard(lock_);
        pending = dirty_ && !directory_.empty() && !savingForgone_;
    }
    if (pending) {
        try {
            saveProgress();
        } catch (...) {
            // Exit goes on; the previous progress file is still intact.
        }
    }
}

void WordGet::forgoSaving()
{
    std::lock_guard guard(lock_);
    savingForgone_ = true;
}

void WordGet::markDirtyLocked()
{
    dirty_ = true;
    ++changes_;
}

void WordGet::setDirectory(const std::filesystem::path& dicDirectory)
{
    std::lock_guard guard(lock_);
    directory_ = dicDirectory;
}

void WordGet::setDictionaryDirectories(std::vector<std::filesystem::path> directories)
{
    std::lock_guard guard(lock_);
    dictionaryDirectories_ = std::move(directories);
}

void WordGet::setCycleSize(std::int32_t cycleSize)
{
    std::lock_guard guard(lock_);
    cycleSize_ = cycleSize;
    recomputeCycleEndLocked();
}

bool WordGet::insert(const WordEntry& entry, WordList list)
{
    // The fields are views into the caller's entry, which stays put for the
    // call; they are cut the way a normalised copy would be.
    const WordFields fields = fieldsOf(entry);
    std::lock_guard guard(lock_);
    return insertLocked(fields, list);
}

bool WordGet::insertLocked(const WordFields& fields, WordList list)
{
    if (learning_.holds(fields.word) || remembered_.holds(fields.word)) return true;
    try {
        lane(list).add(fields, Lane::Allocation::single);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A cycle end that was never computed is computed now, so that
    // navigation never meets a list without one.
    if (list == WordList::learning && cycleEnd_ == nullptr) recomputeCycleEndLocked();
    return true;
}

bool WordGet::unlink(const char16_t* word, WordList list)
{
    std::lock_guard guard(lock_);
    return unlinkLocked(wordOf(word), list);
}

bool WordGet::unlinkLocked(std::u16string_view word, WordList list)
{
    Lane& from = lane(list);
    Node* const node = from.find(word);
    if (node == nullptr) return false;
    const bool wasCycleEnd = node == cycleEnd_;
    from.erase(node);
    markDirtyLocked();
    // Never leave the cycle end on a freed node.
    if (wasCycleEnd) recomputeCycleEndLocked();
    return true;
}

bool WordGet::contains(const char16_t* word) const
{
    std::lock_guard guard(lock_);
    const std::u16string_view text = wordOf(word);
    return remembered_.holds(text) || learning_.holds(text);
}

bool WordGet::inList(const char16_t* word, WordList list) const
{
    std::lock_guard guard(lock_);
    return (list == WordList::learning ? learning_ : remembered_).holds(wordOf(word));
}

void WordGet::recomputeCycleEnd()
{
    std::lock_guard guard(lock_);
    recomputeCycleEndLocked();
}

void WordGet::recomputeCycleEndLocked()
{
    // The words under review count in the cycle: they come before new ones.
    if (cycleSize_ <= 0 || static_cast<std::size_t>(cycleSize_) >= learning_.size() + review_.size()) {
        cycleEnd_ = learning_.empty() ? review_.back() : learning_.back();  // nullptr for an empty round
        return;
    }
    const Node* node = roundFrontLocked();
    for (std::int32_t position = 1; position < cycleSize_; ++position) node = nextInRoundLocked(node);
    cycleEnd_ = node;
}

void WordGet::next(const char16_t* word, WordEntry& out)
{
    std::lock_guard guard(lock_);
    nextLocked(word, out);
}

void WordGet::nextLocked(const char16_t* word, WordEntry& out)
{
    const Node* const node = findInRoundLocked(wordOf(word));
    if (node == nullptr) return;
    // The lookup is finished before `out` is written: `word` may lie in it.
    const Node* const after = nextInRoundLocked(node);
    const Node* const shown = (node == cycleEnd_ || after == nullptr) ? roundFrontLocked() : after;
    shown->copyTo(out);
}

void WordGet::previous(const char16_t* word, WordEntry& out)
{
    std::lock_guard guard(lock_);
    previousLocked(word, out);
}

void WordGet::previousLocked(const char16_t* word, WordEntry& out)
{
    const Node* const node = findInRoundLocked(wordOf(word));
    if (node == nullptr) return;
    if (const Node* const before = previousInRoundLocked(node))
        before->copyTo(out);
    else if (cycleEnd_ != nullptr)
        cycleEnd_->copyTo(out);
}

void WordGet::advance()
{
    std::lock_guard guard(lock_);
    const std::u16string shownWord(wordOf(current_.word));
    const Node* const node = findInRoundLocked(shownWord);
    const Node* target = nullptr;
    if (frontNext_) {
        target = roundFrontLocked();
    } else if (node != nullptr) {
        const Node* const after = nextInRoundLocked(node);
        target = (node == cycleEnd_ || after == nullptr) ? roundFrontLocked() : after;
    }
    frontNext_ = false;
    if (target == nullptr) return;
    if (node != nullptr && review_.find(shownWord) == node) {
        const auto seen = shown_.find(foldedWord(shownWord));
        if (seen != shown_.end() && seen->second.passes >= 2) {
            setAside_.insert(foldedWord(shownWord));
            const bool alone = target == node;
            leaveReviewLocked(shownWord);
            target = alone ? roundFrontLocked() : target;
            if (target == nullptr) return;
        }
    }
    if (target == roundFrontLocked()) ++pass_;
    if (review_.find(target->word()) == target) {
        Shown& shown = shown_[foldedWord(target->word())];
        if (shown.passes == 0 || shown.pass != pass_) {
            shown.pass = pass_;
            ++shown.passes;
        }
    }
    target->copyTo(current_);
}

void WordGet::stepBack()
{
    std::lock_guard guard(lock_);
    previousLocked(current_.word, current_);
}

void WordGet::setRemembered(const WordEntry& entry, bool toRemembered)
{
    const WordFields fields = fieldsOf(entry);
    std::optional<WordAct> moved;
    {
        std::lock_guard guard(lock_);
        // 已记住 on a word under review: it simply stays remembered. 忘记
        // from the remembered list takes it out of review before it moves.
        if (leaveReviewLocked(fields.word) && toRemembered) return;
        if (toRemembered && unlinkLocked(fields.word, WordList::learning)) {
            insertLocked(fields, WordList::remembered);
            bump(header_.rememberedCount, +1);
            bump(header_.learningCount, -1);
            recomputeCycleEndLocked();
            moved = WordAct::remember;
        } else if (unlinkLocked(fields.word, WordList::remembered)) {
            insertLocked(fields, WordList::learning);
            bump(header_.learningCount, +1);
            bump(header_.rememberedCount, -1);
            recomputeCycleEndLocked();
            moved = WordAct::forget;
        }
    }
    // Recorded outside the lock: the history appends to its file.
    if (moved) recordAction(*moved, fields.word);
}

bool WordGet::deleteRemembered(const char16_t* word)
{
    {
        std::lock_guard guard(lock_);
        leaveReviewLocked(wordOf(word));
        if (!unlinkLocked(wordOf(word), WordList::remembered)) return false;
        bump(header_.rememberedCount, -1);
    }
    recordAction(WordAct::remove, wordOf(word));
    return true;
}

WordEntry WordGet::currentEntry() const
{
    std::lock_guard guard(lock_);
    return current_;
}

void WordGet::setCurrentEntry(const WordEntry& entry)
{
    WordEntry copy = entry;
    normalize(copy);
    std::lock_guard guard(lock_);
    current_ = copy;
}

ProgressHeader WordGet::header() const
{
    std::lock_guard guard(lock_);
    return header_;
}

bool WordGet::dirty() const
{
    std::lock_guard guard(lock_);
    return dirty_;
}

std::vector<WordEntry> WordGet::entries(WordList list) const
{
    std::lock_guard guard(lock_);
    const Lane& from = list == WordList::learning ? learning_ : remembered_;
    std::vector<WordEntry> copies(from.size());
    std::size_t i = 0;
    for (const Node* node = from.front(); node != nullptr; node = node->next) node->copyTo(copies[i++]);
    return copies;
}

void WordGet::forEachEntry(WordList list, const std::function<void(const WordFields&)>& visit) const
{
    std::lock_guard guard(lock_);
    const Lane& from = list == WordList::learning ? learning_ : remembered_;
    for (const Node* node = from.front(); node != nullptr; node = node->next)
        visit(WordFields{node->word(), node->phonetic(), node->content()});
}

std::u16string WordGet::cycleEndWord() const
{
    std::lock_guard guard(lock_);
    if (cycleEnd_ == nullptr) return {};
    return std::u16string(cycleEnd_->word());
}
