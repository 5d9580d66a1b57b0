// The names of the files Mivora keeps beside each other in "dic", and of the
// copies a sync program makes of them when two PCs changed one while apart.
#pragma once

#include <string_view>

// The progress file, in the dic directory.
constexpr char16_t kProgressFileName[] = u"DAvud.bin";
constexpr char16_t kReviewLogName[] = u"mivora-review.txt";

// A copy of DAvud.bin that a sync program made when both PCs changed it
// while apart: OneDrive's "DAvud-<computer>.bin" (also with "-2" ...), or a
// name with "conflict" or "冲突" in it after a space, bracket, hyphen or
// underscore, as Dropbox ("DAvud (<computer>'s conflicted copy
// 2026-12-07).bin"), 坚果云 and 百度网盘 make them. Letters compare without
// case. Anything else, such as DAvud.bin.tmp or DAvud.bin.unreadable-*, is
// not one.
bool isConflictCopyName(std::u16string_view name);

// Whether `name` is a sync program's copy of the log, named the way the
// copies of the progress file are ("mivora-review-<computer>.txt", "...
// conflicted copy ...", "...冲突...").
bool isReviewLogCopyName(std::u16string_view name);
// Whether a file beside the progress file is the log or a copy of it: such
// a file is never a word list, though it ends in ".txt" as they do.
bool isReviewLogFileName(std::u16string_view name);
