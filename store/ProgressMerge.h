// Two PCs sharing one progress file through a synced folder: the merge of
// the lists this process has (ours) with the ones another PC wrote into the
// file meanwhile (theirs), both measured against the file as this process
// last read or wrote it (the base). A pure function, so that every rule is
// one row of a table.
#pragma once

#include <string>
#include <vector>

#include "WordEntry.h"

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

// The lists to write when another program replaced the file since `base`:
// - a word is remembered when either side remembered it since the base, or
//   both still have it remembered; one that either side sent back to
//   learning (忘记) or deleted (删除) since the base is not;
// - the learning list is ours, less the words now remembered and the words
//   the other side deleted, with the words the other side sent back to
//   learning added at its end;
// - a new word list chosen on either side since the base (a later
//   startDate) wins: its learning list is taken instead, by the same rule
//   with the sides swapped;
// - the counts are those of the merged lists, startDate the later one, the
//   reserved fields those of the file on disk (theirs).
// Words are compared with ASCII-only case folding, as the store compares
// them. Records keep the texts of the side they come from.
ProgressLists mergeProgress(const ProgressLists& base, const ProgressLists& ours, const ProgressLists& theirs);

// Whether two lists hold the same words in the same order (texts and
// dates aside): a merge that gives the file's own lists leaves nothing to
// write.
bool sameWords(const ProgressLists& a, const ProgressLists& b);
