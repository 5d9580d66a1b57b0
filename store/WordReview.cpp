// The words under review in the round: copies of remembered words put before
// the learning list, which the progress file never sees.
#include <new>

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
    const bool wasCycleEnd = node == cycleEnd_;
    review_.erase(node);
    if (wasCycleEnd) cycleEnd_ = nullptr;
    recomputeCycleEndLocked();
    return true;
}

std::size_t WordGet::bringBack(const std::vector<std::u16string>& words, bool showFirst)
{
    std::lock_guard guard(lock_);
    std::size_t brought = 0;
    // Each goes before the head: the last one first, so that they stand in
    // the order given.
    for (auto it = words.rbegin(); it != words.rend(); ++it) {
        const Node* const remembered = remembered_.find(*it);
        if (remembered == nullptr || review_.holds(*it)) continue;
        try {
            if (review_.addFront(WordFields{remembered->word(), remembered->phonetic(), remembered->content()},
                                 Lane::Allocation::single))
                ++brought;
        } catch (const std::bad_alloc&) {
            break;  // the rest come back another day
        }
    }
    recomputeCycleEndLocked();
    // The step after a load shows the word after the current one: the
    // current one becomes the end of the cycle, so the step leads to the
    // front.
    if (showFirst && brought != 0 && cycleEnd_ != nullptr) cycleEnd_->copyTo(current_);
    return brought;
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
