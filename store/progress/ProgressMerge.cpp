#include "store/progress/ProgressMerge.h"

#include <algorithm>
#include <climits>
#include <new>

#include "store/lists/WordLane.h"
#include "store/text/Text.h"

void WordSet::reserve(std::size_t words)
{
    std::size_t capacity = 16;
    while (capacity < words * 2) capacity *= 2;
    if (capacity > slots_.size()) grow(capacity);
    // A usual word is a few letters; longer ones grow the buffer as needed.
    units_.reserve(words * 8);
}

void WordSet::grow(std::size_t capacity)
{
    std::vector<Slot> old(capacity);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.used) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].used) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

std::size_t WordSet::findSlot(std::u16string_view word, std::size_t hash) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (!slot.used || (slot.hash == hash && equalNoCase(wordAt(slot), word))) return i;
    }
}

bool WordSet::add(std::u16string_view word)
{
    return add(word, WordLane::hashOf(word));
}

bool WordSet::add(std::u16string_view word, std::size_t hash)
{
    if ((size_ + 1) * 2 > slots_.size()) grow(std::max<std::size_t>(16, slots_.size() * 2));
    Slot& slot = slots_[findSlot(word, hash)];
    if (slot.used) return false;
    // A word is at most a record's field; the buffer's offsets are 32-bit.
    if (word.size() > UINT16_MAX || units_.size() + word.size() > UINT32_MAX) throw std::bad_alloc();
    slot.hash = hash;
    slot.at = static_cast<std::uint32_t>(units_.size());
    slot.units = static_cast<std::uint16_t>(word.size());
    slot.used = true;
    units_.append(word);
    ++size_;
    return true;
}

void WordSet::prefetch(std::size_t hash) const noexcept
{
    if (!slots_.empty()) prefetchLine(&slots_[hash & (slots_.size() - 1)]);
}

bool WordSet::has(std::u16string_view word) const
{
    return !slots_.empty() && slots_[findSlot(word, WordLane::hashOf(word))].used;
}

bool WordSet::sameAs(const WordSet& other) const
{
    if (size_ != other.size_) return false;
    for (const Slot& slot : slots_) {
        if (slot.used && !other.has(wordAt(slot))) return false;
    }
    return true;
}

ProgressWords wordsOf(const ProgressLists& lists)
{
    ProgressWords words;
    words.header = lists.header;
    words.remembered.reserve(lists.remembered.size());
    for (const ProgressRecord& record : lists.remembered) words.remembered.add(record.word);
    words.learning.reserve(lists.learning.size());
    for (const ProgressRecord& record : lists.learning) words.learning.add(record.word);
    return words;
}

MergeSide sideOf(const ProgressLists& lists)
{
    MergeSide side;
    side.header = lists.header;
    side.remembered.reserve(lists.remembered.size());
    for (const ProgressRecord& record : lists.remembered) side.remembered.push_back(record.word);
    side.learning.reserve(lists.learning.size());
    for (const ProgressRecord& record : lists.learning) side.learning.push_back(record.word);
    return side;
}

namespace {

std::int32_t countOf(std::size_t size)
{
    return size > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(size);
}

WordSet setOf(const std::vector<std::u16string_view>& words)
{
    WordSet set;
    set.reserve(words.size());
    for (const std::u16string_view word : words) set.add(word);
    return set;
}

// One side's words, looked up.
struct Side {
    Side(const MergeSide& words, bool ours)
        : words(words), ours(ours), remembered(setOf(words.remembered)), learning(setOf(words.learning))
    {}
    const MergeSide& words;
    bool ours;
    WordSet remembered;
    WordSet learning;
    bool holds(std::u16string_view word) const { return remembered.has(word) || learning.has(word); }
};

// Every record of `side` in its order, as picks.
void pickAll(const MergeSide& side, bool ours, MergePlan& plan)
{
    plan.remembered.clear();
    plan.learning.clear();
    for (std::size_t i = 0; i < side.remembered.size(); ++i)
        plan.remembered.push_back({ours, true, static_cast<std::uint32_t>(i)});
    for (std::size_t i = 0; i < side.learning.size(); ++i)
        plan.learning.push_back({ours, false, static_cast<std::uint32_t>(i)});
}

}  // namespace

namespace {

// Whether `words` (no word twice, as a list holds them) are those of `set`.
bool sameWords(const std::vector<std::u16string_view>& words, const WordSet& set)
{
    return words.size() == set.size() &&
           std::all_of(words.begin(), words.end(), [&](std::u16string_view word) { return set.has(word); });
}

// Whether the plan holds exactly the words of the file (theirs), in any
// order, with the file's list.
bool holdsTheFilesWords(const MergePlan& plan, const MergeSide& ours, const MergeSide& theirs,
                        const WordSet& theirsRemembered, const WordSet& theirsLearning)
{
    const auto all = [&](const std::vector<MergePick>& picks, const WordSet& in) {
        for (const MergePick& pick : picks) {
            const MergeSide& side = pick.ours ? ours : theirs;
            const std::u16string_view word = (pick.fromRemembered ? side.remembered : side.learning)[pick.index];
            if (!in.has(word)) return false;
        }
        return true;
    };
    return plan.header.startDate == theirs.header.startDate && plan.remembered.size() == theirsRemembered.size() &&
           plan.learning.size() == theirsLearning.size() && all(plan.remembered, theirsRemembered) &&
           all(plan.learning, theirsLearning);
}

}  // namespace

MergePlan planMerge(const ProgressWords& base, const MergeSide& ours, const MergeSide& theirs)
{
    const std::int32_t baseStart = base.header.startDate;
    if (ours.header.startDate == baseStart && theirs.header.startDate == baseStart &&
        sameWords(ours.remembered, base.remembered) && sameWords(ours.learning, base.learning)) {
        // Nothing changed here, and the file shares our history: it stands
        // as it is (the common case, looked at without building a set).
        MergePlan plan;
        pickAll(theirs, false, plan);
        plan.header = theirs.header;
        plan.theirsAsIs = true;
        return plan;
    }
    const Side us(ours, true);
    const Side them(theirs, false);
    // What a side did since the base counts as taking words away only where
    // it shares the base's history: ours always does (it grew from the
    // base in this process); a file with another startDate may be a fresh
    // start, whose missing words were never removed by anybody.
    const bool theirsShares = theirs.header.startDate == baseStart;
    const bool noNewList = ours.header.startDate == baseStart && theirsShares;
    const auto removes = [&](const Side& side) { return side.ours || theirsShares; };

    MergePlan plan;
    plan.header = theirs.header;
    plan.header.startDate = std::max(ours.header.startDate, theirs.header.startDate);
    plan.header.lastDate = std::max(ours.header.lastDate, theirs.header.lastDate);

    if (theirsShares && them.remembered.sameAs(base.remembered) && them.learning.sameAs(base.learning)) {
        // Nothing changed there: ours as they are.
        pickAll(ours, true, plan);
    } else {
        const auto stillRemembered = [&](std::u16string_view word) {
            if (!base.remembered.has(word)) return us.remembered.has(word) || them.remembered.has(word);
            return us.remembered.has(word) && (them.remembered.has(word) || !removes(them));
        };
        const auto inBase = [&](std::u16string_view word) {
            return base.remembered.has(word) || base.learning.has(word);
        };
        // Gone from both lists of `side`: deleted there. A learning word
        // missing only means that when no new list replaced the lists.
        const auto deletedOn = [&](const Side& side, std::u16string_view word) {
            return removes(side) && inBase(word) && !side.holds(word) && (noNewList || base.remembered.has(word));
        };
        const auto forgotOn = [&](const Side& side, std::u16string_view word) {
            return removes(side) && base.remembered.has(word) && side.learning.has(word);
        };

        // The learning list of the side that chose a new word list since
        // the base, the later choice if both did; ours otherwise.
        const bool theirsNew = theirs.header.startDate > baseStart;
        const bool oursNew = ours.header.startDate > baseStart;
        const bool takeTheirs = theirsNew && (!oursNew || theirs.header.startDate > ours.header.startDate);
        const Side& first = takeTheirs ? them : us;
        const Side& other = takeTheirs ? us : them;
        // Whatever side a learning word is met on, the same answer, so
        // that the file's order is kept for every word it holds.
        const auto learns = [&](std::u16string_view word) {
            if (stillRemembered(word)) return false;
            if (first.learning.has(word) && !deletedOn(other, word)) return true;
            return other.learning.has(word) && (forgotOn(other, word) || (noNewList && !inBase(word)));
        };

        WordSet placed;
        placed.reserve(theirs.remembered.size() + ours.remembered.size() + theirs.learning.size() +
                       ours.learning.size());
        for (const Side* side : {&them, &us}) {
            for (std::size_t i = 0; i < side->words.remembered.size(); ++i) {
                const std::u16string_view word = side->words.remembered[i];
                if (stillRemembered(word) && placed.add(word))
                    plan.remembered.push_back({side->ours, true, static_cast<std::uint32_t>(i)});
            }
        }
        for (const Side* side : {&them, &us}) {
            for (std::size_t i = 0; i < side->words.learning.size(); ++i) {
                const std::u16string_view word = side->words.learning[i];
                if (learns(word) && placed.add(word))
                    plan.learning.push_back({side->ours, false, static_cast<std::uint32_t>(i)});
            }
        }
    }

    // The same words as the file holds, in any order, and the same list:
    // the file as it stands, so that nothing is written and the other PC
    // finds nothing new either.
    if (holdsTheFilesWords(plan, ours, theirs, them.remembered, them.learning)) {
        pickAll(theirs, false, plan);
        plan.header = theirs.header;
        plan.theirsAsIs = true;
        return plan;
    }
    plan.header.rememberedCount = countOf(plan.remembered.size());
    plan.header.learningCount = countOf(plan.learning.size());
    return plan;
}

ProgressLists mergeProgress(const ProgressWords& base, const ProgressLists& ours, const ProgressLists& theirs)
{
    const MergePlan plan = planMerge(base, sideOf(ours), sideOf(theirs));
    ProgressLists merged;
    merged.header = plan.header;
    const auto record = [&](const MergePick& pick) -> const ProgressRecord& {
        const ProgressLists& side = pick.ours ? ours : theirs;
        return (pick.fromRemembered ? side.remembered : side.learning)[pick.index];
    };
    for (const MergePick& pick : plan.remembered) merged.remembered.push_back(record(pick));
    for (const MergePick& pick : plan.learning) merged.learning.push_back(record(pick));
    return merged;
}
