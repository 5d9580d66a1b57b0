// The [Review] section of mivora.ini: remembered words coming back on their
// memory schedule.
#pragma once

#include "IniFile.h"

constexpr char16_t kReviewSection[] = u"Review";
constexpr int kReviewLimitHighest = 1000;
// Retention in hundredths, as the settings page offers it.
constexpr int kRetentionLowestPercent = 70;
constexpr int kRetentionHighestPercent = 97;

// Which words are shown first without their meaning, so that the user
// recalls it before seeing it: the words under review; those and a word
// being learnt from its second showing in a round on (the first showing is
// for study); or none.
enum class RecallFirst { review, all, off };
constexpr int kRevealSecondsHighest = 60;

struct ReviewSettings {
    bool enabled = true;        // remembered words come back when due
    int dailyLimit = 20;        // at most this many a day
    int retentionPercent = 90;  // the chance of recall at which they come back
    RecallFirst recallFirst = RecallFirst::review;
    int revealSeconds = 5;  // the hidden meaning shows by itself after this; 0: at once
    // The balloon that says how to answer a word shown without its meaning
    // has been shown (it comes once).
    bool recallTipShown = false;
    double retention() const { return retentionPercent / 100.0; }
    bool operator==(const ReviewSettings&) const = default;
};

// Each value that is missing, out of range or not a number takes its
// default (RecallFirst: "review", "all" or "off" in any case), except Retention, a decimal fraction ("0.90"; a comma is
// taken for the point), which is held within 0.70 to 0.97 ("0.99" is 0.97).
ReviewSettings readReviewSettings(const IniDocument& document);
void writeReviewSettings(IniDocument& document, const ReviewSettings& settings);
