// Two PCs sharing one progress file through a synced folder: the merge of
// the lists this process has (ours) with the ones another PC wrote into the
// file meanwhile (theirs), both measured against the file as this process
// last read or wrote it (the base). A pure function, so that every rule is
// one row of a table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/lists/WordEntry.h"

// One record's texts as the file stores them (the phonetic with its square
// brackets).
struct ProgressRecord {
    std::u16string word;
    std::u16string phonetic;
    std::u16string content;
};

// A progress file's content: its header and both lists, head first.
struct ProgressLists {
    ProgressHeader header{};
    std::vector<ProgressRecord> remembered;
    std::vector<ProgressRecord> learning;
};

// Words as the store tells them apart (ASCII letters folded), kept back to
// back in one buffer with an index beside it: a set of 100,000 words is two
// allocations, not one per word.
class WordSet {
public:
    // Room for `words` words without growing the index.
    void reserve(std::size_t words);
    // False when the word was here already.
    bool add(std::u16string_view word);
    // The same with the word's WordLane::hashOf() already at hand.
    bool add(std::u16string_view word, std::size_t hash);
    // Starts fetching the index slot of `hash`, for a bulk add a few words on.
    void prefetch(std::size_t hash) const noexcept;
    bool has(std::u16string_view word) const;
    std::size_t size() const { return size_; }
    // Whether both hold the same words.
    bool sameAs(const WordSet& other) const;

private:
    struct Slot {
        std::size_t hash = 0;
        std::uint32_t at = 0;
        std::uint16_t units = 0;
        bool used = false;
    };
    // The slot of `word`, or the free one where it would go (slots_ not
    // empty).
    std::size_t findSlot(std::u16string_view word, std::size_t hash) const;
    void grow(std::size_t capacity);
    std::u16string_view wordAt(const Slot& slot) const { return {units_.data() + slot.at, slot.units}; }

    std::u16string units_;
    std::vector<Slot> slots_;
    std::size_t size_ = 0;
};

// What the merge needs of the base: its header and the words of both lists
// (their order and texts do not tell what changed).
struct ProgressWords {
    ProgressHeader header{};
    WordSet remembered;
    WordSet learning;
};
ProgressWords wordsOf(const ProgressLists& lists);

// One side's words, head first, as views into wherever the side keeps them.
struct MergeSide {
    ProgressHeader header{};
    std::vector<std::u16string_view> remembered;
    std::vector<std::u16string_view> learning;
};

// Where a merged record comes from: the index into one side's list.
struct MergePick {
    bool ours;
    bool fromRemembered;
    std::uint32_t index;
};

struct MergePlan {
    ProgressHeader header{};
    // The file on disk is the outcome as it stands: nothing to write.
    bool theirsAsIs = false;
    std::vector<MergePick> remembered;
    std::vector<MergePick> learning;
};

// The merge, as version control does it: where the file on disk (theirs)
// holds the base's words, ours are kept; otherwise
// - a word is remembered when either side remembered it since the base, or
//   both still have it remembered; one that we, or the other side sharing
//   our history (the base's startDate), sent back to learning (忘记) or
//   deleted (删除) since the base is not. A file with another startDate (a
//   fresh start, or a new word list chosen there) adds remembered words but
//   takes none away;
// - the learning list is that of the side with the latest new word list
//   (ours when neither chose one), less the words now remembered and the
//   words the other side deleted, with the words the other side sent back
//   to learning added; with no new list anywhere, a word of the base that
//   either side has in neither list is deleted, and learning words that
//   the other side added are kept;
// - the order is the file's for the words it has, then ours, so that the
//   next merge on the other PC finds nothing to change;
// - the counts are those of the merged lists, startDate and lastDate the
//   later ones, the reserved fields those of the file on disk.
// A merge whose lists hold the same words as the file's (in any order) with
// the same startDate is the file as it stands (`theirsAsIs`).
MergePlan planMerge(const ProgressWords& base, const MergeSide& ours, const MergeSide& theirs);

// The same on whole lists: records keep the texts of the side they come
// from.
ProgressLists mergeProgress(const ProgressWords& base, const ProgressLists& ours, const ProgressLists& theirs);
MergeSide sideOf(const ProgressLists& lists);
