// The words under review in the round: copies of remembered words put before
// the learning list, which the progress file never sees.
#include <algorithm>
#include <climits>
#include <new>
#include <unordered_set>

#include "store/WordGet.h"
#include "store/text/Text.h"

const WordLane::Node* WordGet::roundFrontLocked() const
{
    return review_.empty() ? learning_.front() : review_.front();
}

const WordLane::Node* WordGet::findInRoundLocked(std::u16string_view word) const
{
    if (const Node* node = review_.find(word)) return node;
    return learning_.find(word);
}

const WordLane::Node* WordGet::nextInRoundLocked(const Node* node) const
{
    if (node->next != nullptr) return node->next;
    return node == review_.back() ? learning_.front() : nullptr;
}

const WordLane::Node* WordGet::previousInRoundLocked(const Node* node) const
{
    if (node->prev != nullptr) return node->prev;
    return node == learning_.front() ? review_.back() : nullptr;
}

bool WordGet::leaveReviewLocked(std::u16string_view word)
{
    Node* const node = review_.find(word);
    if (node == nullptr) return false;
    const std::u16string folded = foldedWord(word);
    shown_.erase(folded);
    reviewDue_.erase(folded);
    const bool wasCycleEnd = node == cycleEnd_;
    review_.erase(node);
    if (wasCycleEnd) cycleEnd_ = nullptr;
    recomputeCycleEndLocked();
    return true;
}

std::size_t WordGet::bringBack(const std::vector<std::u16string>& words, bool showFirst)
{
    std::vector<DueWord> due;
    due.reserve(words.size());
    // Without due days, in the order given, behind those already there.
    for (const std::u16string& word : words) due.push_back({word, INT32_MAX});
    return bringBack(due, showFirst);
}

std::size_t WordGet::bringBack(const std::vector<DueWord>& words, bool showFirst)
{
    std::lock_guard guard(lock_);
    // The round's review part laid out anew: those already under review and
    // the new ones, oldest due first (equals as they stood, then as given).
    struct Placed {
        WordFields fields;
        std::int32_t due;
    };
    std::vector<Placed> placed;
    for (const Node* node = review_.front(); node != nullptr; node = node->next) {
        const auto due = reviewDue_.find(foldedWord(node->word()));
        placed.push_back({WordFields{node->word(), node->phonetic(), node->content()},
                          due != reviewDue_.end() ? due->second : INT32_MIN});
    }
    const std::size_t before = placed.size();
    std::unordered_set<std::u16string> coming;
    for (const DueWord& word : words) {
        const Node* const remembered = remembered_.find(word.word);
        std::u16string folded = foldedWord(word.word);
        if (remembered == nullptr || review_.holds(word.word) || setAside_.count(folded) != 0 ||
            !coming.insert(std::move(folded)).second)
            continue;
        placed.push_back({WordFields{remembered->word(), remembered->phonetic(), remembered->content()}, word.dueDay});
    }
    const std::size_t brought = placed.size() - before;
    if (brought == 0) return 0;
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& x, const Placed& y) { return x.due < y.due; });
    Lane lane;
    try {
        for (const Placed& word : placed) lane.add(word.fields, Lane::Allocation::single);
        for (const DueWord& word : words) {
            if (coming.count(foldedWord(word.word)) != 0) reviewDue_[foldedWord(word.word)] = word.dueDay;
        }
    } catch (const std::bad_alloc&) {
        return 0;  // they come back another time
    }
    review_.swap(lane);
    recomputeCycleEndLocked();
    // The step after a load shows the word after the current one: the
    // current one becomes the end of the cycle, so the step leads to the
    // front. In a running round the shown word stays, and the next step
    // goes to the front, wherever the shown word stands.
    if (showFirst && cycleEnd_ != nullptr)
        cycleEnd_->copyTo(current_);
    else if (!showFirst)
        frontNext_ = true;
    return brought;
}

void WordGet::newReviewDay()
{
    std::lock_guard guard(lock_);
    setAside_.clear();
}

bool WordGet::underReview(std::u16string_view word) const
{
    std::lock_guard guard(lock_);
    return review_.holds(word);
}

std::size_t WordGet::reviewWaiting() const
{
    std::lock_guard guard(lock_);
    return review_.size();
}

bool WordGet::forgetReviewed(const WordEntry& entry)
{
    if (!moveReviewedToLearning(entry)) return false;
    recordAction(WordAct::forget, fieldsOf(entry).word);
    return true;
}

bool WordGet::moveReviewedToLearning(const WordEntry& entry)
{
    const WordFields fields = fieldsOf(entry);
    std::lock_guard guard(lock_);
    Node* const node = review_.find(fields.word);
    if (node == nullptr) return false;
    const WordFields stored{node->word(), node->phonetic(), node->content()};
    // At the front of the learning list: right behind the words still under
    // review, where the round reaches it soon.
    try {
        if (!learning_.addFront(stored, Lane::Allocation::single)) return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (Node* const remembered = remembered_.find(fields.word)) remembered_.erase(remembered);
    leaveReviewLocked(fields.word);
    bump(header_.rememberedCount, -1);
    bump(header_.learningCount, +1);
    markDirtyLocked();
    recomputeCycleEndLocked();
    return true;
}

void WordGet::endReview()
{
    std::lock_guard guard(lock_);
    Lane none;
    review_.swap(none);
    recomputeCycleEndLocked();
    keepCurrentInRoundLocked();
}

void WordGet::keepCurrentInRoundLocked()
{
    // A word shown that left the round would stop the steps there (they go
    // from the shown word): the round goes on from its front instead.
    const std::u16string_view shown(current_.word, boundedLength(current_.word, kWordUnits));
    const Node* const front = roundFrontLocked();
    if (findInRoundLocked(shown) == nullptr && front != nullptr) front->copyTo(current_);
}

void WordGet::pruneReview()
{
    std::lock_guard guard(lock_);
    bool changed = false;
    for (Node* node = review_.front(); node != nullptr;) {
        Node* const next = node->next;
        if (!remembered_.holds(node->word())) {
            review_.erase(node);
            changed = true;
        }
        node = next;
    }
    if (!changed) return;
    recomputeCycleEndLocked();
    keepCurrentInRoundLocked();
}
