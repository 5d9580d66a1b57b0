#include "ReviewSettings.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace {

std::u16string number(int value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// "0.9", " 0.875 ", ".95", "1" in hundredths, rounded; false for anything
// else.
bool parsePercent(std::u16string_view text, int& percent)
{
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
    long long whole = 0;
    long long fraction = 0;  // in millionths
    std::size_t i = 0;
    bool anyDigit = false;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        whole = std::min(whole * 10 + (text[i] - u'0'), 1000000LL);
        anyDigit = true;
    }
    if (i < text.size() && (text[i] == u'.' || text[i] == u',')) {
        long long scale = 100000;
        for (++i; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
            fraction += (text[i] - u'0') * scale;
            scale /= 10;
            anyDigit = true;
        }
    }
    if (!anyDigit || i != text.size()) return false;
    const long long millionths = whole * 1000000 + fraction;
    percent = static_cast<int>(std::min((millionths + 5000) / 10000, 100000LL));
    return true;
}

// The written forms of RecallFirst, in the order of the enum.
constexpr const char16_t* kRecallFirstNames[] = {u"review", u"all", u"off"};

bool sameLetters(std::u16string_view text, std::u16string_view name)
{
    if (text.size() != name.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i] >= u'A' && text[i] <= u'Z' ? static_cast<char16_t>(text[i] - u'A' + u'a') : text[i];
        if (c != name[i]) return false;
    }
    return true;
}

RecallFirst parseRecallFirst(std::u16string_view text, RecallFirst fallback)
{
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
    for (std::size_t i = 0; i < std::size(kRecallFirstNames); ++i)
        if (sameLetters(text, kRecallFirstNames[i])) return static_cast<RecallFirst>(i);
    return fallback;
}

}  // namespace

ReviewSettings readReviewSettings(const IniDocument& document)
{
    const ReviewSettings defaults;
    ReviewSettings settings;
    settings.enabled = iniInteger(document, kReviewSection, u"Enabled", defaults.enabled ? 1 : 0, 0, 1) == 1;
    settings.dailyLimit =
        iniInteger(document, kReviewSection, u"DailyLimit", defaults.dailyLimit, 0, kReviewLimitHighest);
    int percent = defaults.retentionPercent;
    if (const auto text = document.get(kReviewSection, u"Retention"); text && parsePercent(*text, percent))
        settings.retentionPercent = std::clamp(percent, kRetentionLowestPercent, kRetentionHighestPercent);
    if (const auto text = document.get(kReviewSection, u"RecallFirst"))
        settings.recallFirst = parseRecallFirst(*text, defaults.recallFirst);
    settings.revealSeconds =
        iniInteger(document, kReviewSection, u"RevealSeconds", defaults.revealSeconds, 0, kRevealSecondsHighest);
    settings.recallTipShown = iniInteger(document, kReviewSection, u"RecallTipShown", 0, 0, 1) == 1;
    return settings;
}

void writeReviewSettings(IniDocument& document, const ReviewSettings& settings)
{
    document.set(kReviewSection, u"Enabled", settings.enabled ? u"1" : u"0");
    document.set(kReviewSection, u"DailyLimit", number(settings.dailyLimit));
    const int percent = std::clamp(settings.retentionPercent, 0, 100);
    std::u16string retention = number(percent / 100) + u"." + number(percent % 100 / 10) + number(percent % 10);
    document.set(kReviewSection, u"Retention", retention);
    const auto recall = static_cast<std::size_t>(settings.recallFirst);
    document.set(kReviewSection, u"RecallFirst", kRecallFirstNames[recall < std::size(kRecallFirstNames) ? recall : 0]);
    document.set(kReviewSection, u"RevealSeconds",
                 number(std::clamp(settings.revealSeconds, 0, kRevealSecondsHighest)));
    document.set(kReviewSection, u"RecallTipShown", settings.recallTipShown ? u"1" : u"0");
}
