#include "ProgressMerge.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include "Text.h"

namespace {

// Words as the store tells them apart.
class WordSet {
public:
    WordSet() = default;
    explicit WordSet(const std::vector<ProgressRecord>& records)
    {
        words_.reserve(records.size());
        for (const ProgressRecord& record : records) add(record.word);
    }
    // False when the word was here already.
    bool add(std::u16string_view word) { return words_.insert(foldedWord(word)).second; }
    bool has(std::u16string_view word) const { return words_.count(foldedWord(word)) != 0; }

private:
    std::unordered_set<std::u16string> words_;
};

// One side's lists, looked up.
struct Side {
    explicit Side(const ProgressLists& lists) : lists(lists), remembered(lists.remembered), learning(lists.learning) {}
    const ProgressLists& lists;
    WordSet remembered;
    WordSet learning;
};

std::int32_t countOf(std::size_t size)
{
    return size > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(size);
}

}  // namespace

ProgressLists mergeProgress(const ProgressLists& base, const ProgressLists& ours, const ProgressLists& theirs)
{
    const WordSet baseRemembered(base.remembered);
    const Side us(ours);
    const Side them(theirs);

    // Remembered since the base on either side, or still remembered on both.
    const auto stillRemembered = [&](std::u16string_view word) {
        if (!baseRemembered.has(word)) return us.remembered.has(word) || them.remembered.has(word);
        return us.remembered.has(word) && them.remembered.has(word);
    };
    // What one side did since the base to a word remembered in it.
    const auto forgotOn = [&](const Side& side, std::u16string_view word) {
        return baseRemembered.has(word) && side.learning.has(word);
    };
    const auto deletedOn = [&](const Side& side, std::u16string_view word) {
        return baseRemembered.has(word) && !side.remembered.has(word) && !side.learning.has(word);
    };

    ProgressLists merged;
    WordSet placed;
    for (const ProgressLists* side : {&ours, &theirs}) {
        for (const ProgressRecord& record : side->remembered) {
            if (stillRemembered(record.word) && placed.add(record.word)) merged.remembered.push_back(record);
        }
    }

    // The learning list of the side that chose a new word list since the
    // base, the later choice if both did; ours otherwise.
    const bool theirsNew = theirs.header.startDate > base.header.startDate;
    const bool oursNew = ours.header.startDate > base.header.startDate;
    const bool takeTheirs = theirsNew && (!oursNew || theirs.header.startDate > ours.header.startDate);
    const Side& first = takeTheirs ? them : us;
    const Side& other = takeTheirs ? us : them;
    for (const ProgressRecord& record : first.lists.learning) {
        if (!stillRemembered(record.word) && !deletedOn(other, record.word) && placed.add(record.word))
            merged.learning.push_back(record);
    }
    for (const ProgressRecord& record : other.lists.learning) {
        if (forgotOn(other, record.word) && placed.add(record.word)) merged.learning.push_back(record);
    }

    merged.header = theirs.header;
    merged.header.rememberedCount = countOf(merged.remembered.size());
    merged.header.learningCount = countOf(merged.learning.size());
    merged.header.startDate = std::max(ours.header.startDate, theirs.header.startDate);
    merged.header.lastDate = std::max(ours.header.lastDate, theirs.header.lastDate);
    return merged;
}

bool sameWords(const ProgressLists& a, const ProgressLists& b)
{
    const auto same = [](const std::vector<ProgressRecord>& x, const std::vector<ProgressRecord>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                          [](const ProgressRecord& p, const ProgressRecord& q) { return p.word == q.word; });
    };
    return same(a.remembered, b.remembered) && same(a.learning, b.learning) && a.header.startDate == b.header.startDate;
}
