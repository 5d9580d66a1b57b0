// The name a 生词本 gets as a word list beside the others: the file's own
// name where it can be one, never the review log's, never one in use.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "StoreTestSupport.h"
#include "store/lists/WordListImport.h"

using namespace storetest;

TEST(ImportedListName, FromTheFileNameButNeverTheLogsOrOneInUse)
{
    const struct {
        const char* name;
        const char16_t* file;
        std::set<std::u16string> taken;
        std::size_t maxUnits;
        const char16_t* expected;
    } rows[] = {
        {"the file's name", u"有道生词本 2026.xml", {}, 64, u"有道生词本 2026"},
        {"taken: numbered", u"我的单词.csv", {u"我的单词"}, 64, u"我的单词 (2)"},
        {"taken twice", u"我的单词.csv", {u"我的单词", u"我的单词 (2)"}, 64, u"我的单词 (3)"},
        {"characters a list line cannot hold", u"a|b^c.txt", {}, 64, u"a_b_c"},
        {"dots and spaces at the end", u" trailing. .txt", {}, 64, u"trailing"},
        {"cut to fit with room for a number", u"abcdefghijklmnop.txt", {}, 10, u"abcd"},
        {"a sync program's copy of the review log", u"Mivora-Review-PC2.csv", {}, 64, u"生词本"},
        {"the review log itself", u"mivora-review.txt", {}, 64, u"生词本"},
        {"a conflicted copy of the log, 生词本 taken",
         u"mivora-review (Li's conflicted copy).txt",
         {u"生词本"},
         64,
         u"生词本 (2)"},
        {"only like the log", u"mivora-reviews.txt", {}, 64, u"mivora-reviews"},
        {"a device name", u"CON.txt", {}, 64, u"生词本"},
    };
    for (const auto& row : rows) {
        const std::u16string name =
            importedListName(fs::path(u"folder") / row.file, row.maxUnits, [&](std::u16string_view candidate) {
                return row.taken.count(std::u16string(candidate)) != 0;
            });
        EXPECT_EQ(name, row.expected) << row.name;
    }
}
