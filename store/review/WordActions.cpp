#include "store/review/WordActions.h"

#include <algorithm>

#include "store/lists/WordEntry.h"
#include "store/review/ReviewLog.h"
#include "store/text/Text.h"

namespace {

const char* nameOf(WordAct act)
{
    switch (act) {
    case WordAct::remember:
        return "remember";
    case WordAct::forget:
        return "forget";
    case WordAct::remove:
        return "delete";
    }
    return "";
}

// Which of two actions at the same second stands.
int weightOf(WordAct act)
{
    return act == WordAct::remove ? 2 : act == WordAct::forget ? 1 : 0;
}

}  // namespace

const WordAction* WordActions::of(std::u16string_view word) const
{
    const auto found = latest.find(foldedWord(word));
    return found == latest.end() ? nullptr : &found->second;
}

void WordActions::add(std::u16string_view word, const WordAction& action)
{
    const auto [at, added] = latest.try_emplace(foldedWord(word), action);
    WordAction& held = at->second;
    if (!added && (action.time > held.time || (action.time == held.time && weightOf(action.act) > weightOf(held.act))))
        held = action;
}

std::string wordActionLine(std::int64_t time, WordAct act, std::u16string_view word)
{
    std::string text;
    encodeUtf8(word, text);
    return timeText(time) + '\t' + nameOf(act) + '\t' + text;
}

std::string listChosenLine(std::int64_t time, std::int32_t startDate)
{
    return timeText(time) + "\tlist\t" + std::to_string(startDate);
}

bool parseWordActionLine(std::string_view line, WordActions& actions)
{
    const std::size_t first = line.find('\t');
    if (first == std::string_view::npos) return false;
    const std::size_t second = line.find('\t', first + 1);
    if (second == std::string_view::npos) return false;
    WordAction action;
    if (!parseTimeText(line.substr(0, first), action.time)) return false;
    const std::string_view kind = line.substr(first + 1, second - first - 1);
    const std::string_view rest = line.substr(second + 1);
    if (kind == "list") {
        if (rest.empty() || rest.find_first_not_of("0123456789") != std::string_view::npos) return false;
        actions.listTime = std::max(actions.listTime, action.time);
        return true;
    }
    if (kind == "remember")
        action.act = WordAct::remember;
    else if (kind == "forget")
        action.act = WordAct::forget;
    else if (kind == "delete")
        action.act = WordAct::remove;
    else
        return false;
    std::u16string word;
    if (rest.empty() || rest.find('\t') != std::string_view::npos || !decodeUtf8(rest, word) ||
        word.size() >= kWordUnits)
        return false;
    actions.add(word, action);
    return true;
}

WordActions wordActionsOf(std::string_view history)
{
    WordActions actions;
    while (!history.empty()) {
        const std::size_t end = history.find('\n');
        std::string_view line = history.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && line.front() != '#') parseWordActionLine(line, actions);
        if (end == std::string_view::npos) break;
        history.remove_prefix(end + 1);
    }
    return actions;
}
