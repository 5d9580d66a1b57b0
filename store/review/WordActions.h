// The learner's actions on a word's state, kept in the review history
// beside the answers, so that every PC decides each word by the latest of
// them whatever order the sync program brings the files in:
//
//   2026-12-08T09:30:12Z<TAB>remember<TAB>abandon     已记住
//   2026-12-08T09:31:40Z<TAB>forget<TAB>abandon       忘记 / 忘了
//   2026-12-08T09:32:05Z<TAB>delete<TAB>abandon       删除
//   2026-12-08T09:40:00Z<TAB>list<TAB>20261208        another word list chosen
//
// Programs that know only answers skip these lines and keep them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

enum class WordAct : std::uint8_t { remember, forget, remove };

struct WordAction {
    std::int64_t time = 0;  // UTC seconds since 1970
    WordAct act = WordAct::remember;
};

// The latest action on every word a history names.
struct WordActions {
    std::unordered_map<std::u16string, WordAction> latest;  // by folded word
    // When the latest new word list was chosen, on any PC: a word sent
    // back or deleted before it follows that list's learning words.
    std::int64_t listTime = INT64_MIN;
    const WordAction* of(std::u16string_view word) const;
    // Takes in one action: the later one wins; at the same second on two
    // PCs, a removal before a forget before a remember, so that every PC
    // decides alike.
    void add(std::u16string_view word, const WordAction& action);
};

std::string wordActionLine(std::int64_t time, WordAct act, std::u16string_view word);
std::string listChosenLine(std::int64_t time, std::int32_t startDate);
// Adds what `line` records to `actions`; false for any other line.
bool parseWordActionLine(std::string_view line, WordActions& actions);
// Every action of a whole history.
WordActions wordActionsOf(std::string_view history);
