#include "WordGet.h"

#include <climits>
#include <cstring>
#include <iterator>
#include <new>

#include "Text.h"

WordGet wordStore;

namespace {

std::u16string foldedOf(const char16_t* word)
{
    return foldedWord(std::u16string_view(word, boundedLength(word, kWordUnits)));
}

// Counters move by one; a counter from a hand-edited file may sit at a limit
// already, so they stop there instead of wrapping.
void bump(std::int32_t& counter, int delta)
{
    const std::int64_t value = std::int64_t{counter} + delta;
    counter = value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(value);
}

void normalizeField(char16_t* field, std::size_t units)
{
    std::size_t n = boundedLength(field, units);
    if (n == units)
        n = cutLength(std::u16string_view(field, units), units - 1);
    std::memset(field + n, 0, (units - n) * sizeof(char16_t));
}

}  // namespace

void WordGet::normalize(WordEntry& entry)
{
    normalizeField(entry.word, kWordUnits);
    normalizeField(entry.phonetic, kPhoneticUnits);
    normalizeField(entry.content, kContentUnits);
}

WordGet::Nodes::iterator WordGet::Lane::find(const std::u16string& folded)
{
    const auto hit = index.find(folded);
    return hit == index.end() ? nodes.end() : hit->second;
}

bool WordGet::Lane::add(const WordEntry& entry)
{
    // One hash lookup: claim the slot first, fill it once the node exists.
    const auto [slot, fresh] = index.try_emplace(foldedOf(entry.word), nodes.end());
    if (!fresh)
        return false;
    try {
        const std::int32_t key = numericKey(std::u16string_view(entry.word, boundedLength(entry.word, kWordUnits)));
        // The new node goes before the first node of the next greater key,
        // which puts it behind all nodes of its own key.
        const auto greater = firstOfKey.upper_bound(key);
        const auto before = greater == firstOfKey.end() ? nodes.end() : greater->second;
        const auto node = nodes.insert(before, Node{entry, key});
        slot->second = node;
        try {
            firstOfKey.emplace(key, node);  // no effect when the key has a first node
        } catch (...) {
            nodes.erase(node);
            throw;
        }
    } catch (...) {
        index.erase(slot);
        throw;
    }
    return true;
}

void WordGet::Lane::erase(Nodes::iterator node)
{
    const auto first = firstOfKey.find(node->key);
    if (first != firstOfKey.end() && first->second == node) {
        const auto after = std::next(node);
        if (after != nodes.end() && after->key == node->key)
            first->second = after;
        else
            firstOfKey.erase(first);
    }
    index.erase(foldedOf(node->entry.word));
    nodes.erase(node);
}

void WordGet::Lane::dropWordsOf(const Lane& other)
{
    if (index.size() <= other.index.size()) {
        for (auto it = index.begin(); it != index.end();) {
            const auto node = (it++)->second;
            if (other.index.count(foldedOf(node->entry.word)))
                erase(node);
        }
    } else {
        for (const auto& [folded, unused] : other.index) {
            const auto node = find(folded);
            if (node != nodes.end())
                erase(node);
        }
    }
}

void WordGet::Lane::swap(Lane& other) noexcept
{
    nodes.swap(other.nodes);
    firstOfKey.swap(other.firstOfKey);
    index.swap(other.index);
}

WordGet::WordGet() : cycleEnd_(learning_.nodes.end()) {}

WordGet::~WordGet()
{
    std::lock_guard guard(lock_);
    if (dirty_ && !directory_.empty()) {
        try {
            saveProgressLocked();
        } catch (...) {
            // Exit goes on; the previous progress file is still intact.
        }
    }
}

void WordGet::setDirectory(const std::filesystem::path& dicDirectory)
{
    std::lock_guard guard(lock_);
    directory_ = dicDirectory;
}

void WordGet::setCycleSize(std::int32_t cycleSize)
{
    std::lock_guard guard(lock_);
    cycleSize_ = cycleSize;
    recomputeCycleEndLocked();
}

bool WordGet::insert(const WordEntry& entry, WordList list)
{
    WordEntry copy = entry;
    normalize(copy);
    std::lock_guard guard(lock_);
    return insertLocked(copy, list);
}

bool WordGet::insertLocked(const WordEntry& entry, WordList list)
{
    const std::u16string folded = foldedOf(entry.word);
    if (learning_.holds(folded) || remembered_.holds(folded))
        return true;
    try {
        lane(list).add(entry);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A cycle end that was never computed is computed now, so that
    // navigation never meets a list without one.
    if (list == WordList::learning && cycleEnd_ == learning_.nodes.end())
        recomputeCycleEndLocked();
    return true;
}

bool WordGet::unlink(const char16_t* word, WordList list)
{
    std::lock_guard guard(lock_);
    return unlinkLocked(word, list);
}

bool WordGet::unlinkLocked(const char16_t* word, WordList list)
{
    Lane& from = lane(list);
    const auto node = from.find(foldedOf(word));
    if (node == from.nodes.end())
        return false;
    const bool wasCycleEnd = node == cycleEnd_;
    from.erase(node);
    dirty_ = true;
    // Never leave the cycle end on a freed node.
    if (wasCycleEnd)
        recomputeCycleEndLocked();
    return true;
}

bool WordGet::contains(const char16_t* word) const
{
    const std::u16string folded = foldedOf(word);
    std::lock_guard guard(lock_);
    return remembered_.holds(folded) || learning_.holds(folded);
}

void WordGet::recomputeCycleEnd()
{
    std::lock_guard guard(lock_);
    recomputeCycleEndLocked();
}

void WordGet::recomputeCycleEndLocked()
{
    Nodes& nodes = learning_.nodes;
    if (nodes.empty())
        cycleEnd_ = nodes.end();
    else if (cycleSize_ <= 0 || static_cast<std::size_t>(cycleSize_) >= nodes.size())
        cycleEnd_ = std::prev(nodes.end());
    else
        cycleEnd_ = std::next(nodes.begin(), cycleSize_ - 1);
}

void WordGet::next(const char16_t* word, WordEntry& out)
{
    std::lock_guard guard(lock_);
    nextLocked(word, out);
}

void WordGet::nextLocked(const char16_t* word, WordEntry& out)
{
    Nodes& nodes = learning_.nodes;
    const auto node = learning_.find(foldedOf(word));
    if (node == nodes.end())
        return;
    const auto after = std::next(node);
    // The lookup is finished before `out` is written: `word` may lie in it.
    out = (node == cycleEnd_ || after == nodes.end()) ? nodes.front().entry : after->entry;
}

void WordGet::previous(const char16_t* word, WordEntry& out)
{
    std::lock_guard guard(lock_);
    previousLocked(word, out);
}

void WordGet::previousLocked(const char16_t* word, WordEntry& out)
{
    Nodes& nodes = learning_.nodes;
    const auto node = learning_.find(foldedOf(word));
    if (node == nodes.end())
        return;
    if (node != nodes.begin())
        out = std::prev(node)->entry;
    else if (cycleEnd_ != nodes.end())
        out = cycleEnd_->entry;
}

void WordGet::advance()
{
    std::lock_guard guard(lock_);
    nextLocked(current_.word, current_);
}

void WordGet::stepBack()
{
    std::lock_guard guard(lock_);
    previousLocked(current_.word, current_);
}

void WordGet::setRemembered(const WordEntry& entry, bool toRemembered)
{
    WordEntry copy = entry;
    normalize(copy);
    std::lock_guard guard(lock_);
    if (toRemembered && unlinkLocked(copy.word, WordList::learning)) {
        insertLocked(copy, WordList::remembered);
        bump(header_.rememberedCount, +1);
        bump(header_.learningCount, -1);
        recomputeCycleEndLocked();
    } else if (unlinkLocked(copy.word, WordList::remembered)) {
        insertLocked(copy, WordList::learning);
        bump(header_.learningCount, +1);
        bump(header_.rememberedCount, -1);
        recomputeCycleEndLocked();
    }
}

bool WordGet::deleteRemembered(const char16_t* word)
{
    std::lock_guard guard(lock_);
    if (!unlinkLocked(word, WordList::remembered))
        return false;
    bump(header_.rememberedCount, -1);
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
    const Nodes& nodes = list == WordList::learning ? learning_.nodes : remembered_.nodes;
    std::vector<WordEntry> copies;
    copies.reserve(nodes.size());
    for (const Node& node : nodes)
        copies.push_back(node.entry);
    return copies;
}

std::u16string WordGet::cycleEndWord() const
{
    std::lock_guard guard(lock_);
    if (cycleEnd_ == learning_.nodes.end())
        return {};
    return std::u16string(cycleEnd_->entry.word, boundedLength(cycleEnd_->entry.word, kWordUnits));
}
