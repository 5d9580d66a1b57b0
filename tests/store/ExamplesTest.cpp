// The example sentences and word forms shipped beside the word lists: what
// a line of the file gives, which lines are passed over, and where the
// word's form stands in bold.
#include <gtest/gtest.h>

#include <string>

#include "StoreTestSupport.h"
#include "store/lists/Examples.h"

using namespace storetest;

namespace {

struct Seen {
    std::u16string forms;      // formsLine
    std::u16string sentences;  // "id:english|chinese|bold;" for each
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* os)
{
    *os << ::testing::PrintToString(seen.forms) << " / " << ::testing::PrintToString(seen.sentences);
}

Seen seen(const Examples& table, std::u16string_view word)
{
    Seen out;
    const WordExamples* found = table.find(word);
    if (found == nullptr) return {u"(none)", u""};
    out.forms = formsLine(found->forms);
    for (const ExampleSentence& s : found->sentences) {
        out.sentences +=
            s.id + u":" + s.english + u"|" + s.chinese + u"|" + s.english.substr(s.boldStart, s.boldLength) + u";";
    }
    return out;
}

}  // namespace

TEST(Examples, LinesOfTheFile)
{
    struct Case {
        const char* name;
        std::string file;  // UTF-8
        std::u16string lookUp;
        Seen expected;
    };
    const Case cases[] = {
        {"forms and two sentences",
         "go\tp:went/d:gone/i:going/3:goes\t12\twent\tWe went home.\t我们回家了。\t34\tgo\tLet's go!\t我们走吧！\n",
         u"go",
         {u"过去式 went · 过去分词 gone · 现在分词 going · 第三人称单数 goes",
          u"12:We went home.|我们回家了。|went;34:Let's go!|我们走吧！|go;"}},
        {"forms only", "apple\ts:apples\n", u"apple", {u"复数 apples", u""}},
        {"a sentence, no forms",
         "tom\t\t7\tTom\tTom is here.\t汤姆在这儿。\n",
         u"tom",
         {u"", u"7:Tom is here.|汤姆在这儿。|Tom;"}},
        {"comparative and superlative", "big\tr:bigger/t:biggest\n", u"big", {u"比较级 bigger · 最高级 biggest", u""}},
        {"looked up in capitals", "go\tp:went\n", u"GO", {u"过去式 went", u""}},
        {"the file's word in capitals", "Monday\ts:Mondays\n", u"monday", {u"复数 Mondays", u""}},
        {"CR LF endings", "go\tp:went\r\nrun\tp:ran\r\n", u"run", {u"过去式 ran", u""}},
        {"a byte order mark", "\xEF\xBB\xBFgo\tp:went\n", u"go", {u"过去式 went", u""}},
        {"no line break at the end", "go\tp:went", u"go", {u"过去式 went", u""}},
        {"comment lines", "# go\tp:gone\ngo\tp:went\n", u"go", {u"过去式 went", u""}},
        {"the first line of a word counts", "go\tp:went\ngo\tp:goed\n", u"go", {u"过去式 went", u""}},
        {"unknown codes and broken pairs are left out", "go\tx:gox/p:went/d/:gone/i:\n", u"go", {u"过去式 went", u""}},
        {"bold: whole words only, any case",
         "go\t\t1\tgo\tThe goat will GO.\t山羊会走。\n",
         u"go",
         {u"", u"1:The goat will GO.|山羊会走。|GO;"}},
        {"bold: not the end of a longer word",
         "go\t\t1\tgo\tForgo it, Go.\t算了，走吧。\n",
         u"go",
         {u"", u"1:Forgo it, Go.|算了，走吧。|Go;"}},
        {"bold: a form the sentence lacks falls back to the word",
         "go\t\t1\tgoes\tGo now.\t现在走。\n",
         u"go",
         {u"", u"1:Go now.|现在走。|Go;"}},
        {"bold: neither there, nothing bold",
         "go\t\t1\twent\tLeave now.\t现在走。\n",
         u"go",
         {u"", u"1:Leave now.|现在走。|;"}},
        {"bold: a form at the very end",
         "cat\ts:cats\t5\tcats\tI like cats\t我喜欢猫\n",
         u"cat",
         {u"复数 cats", u"5:I like cats|我喜欢猫|cats;"}},
        {"bold: after an apostrophe", "s\t\t5\ts\tIt's fine.\t没事。\n", u"s", {u"", u"5:It's fine.|没事。|s;"}},
        {"a group with a number that is none is left out",
         "go\tp:went\tx1\tgo\tGo.\t走。\t2\tgo\tGo!\t走！\n",
         u"go",
         {u"过去式 went", u"2:Go!|走！|Go;"}},
        {"a group without translation is left out", "go\t\t1\tgo\tGo.\t\n", u"go", {u"(none)", u""}},
        {"too few fields", "go\n", u"go", {u"(none)", u""}},
        {"a group cut short", "go\tp:went\t1\tgo\tGo.\n", u"go", {u"(none)", u""}},
        {"three groups are too many",
         "go\t\t1\tgo\tGo.\t走。\t2\tgo\tGo.\t走。\t3\tgo\tGo.\t走。\n",
         u"go",
         {u"(none)", u""}},
        {"no word", "\tp:went\n", u"", {u"(none)", u""}},
        {"not UTF-8", "go\tp:w\xFF\xFEnt\nrun\tp:ran\n", u"go", {u"(none)", u""}},
        {"a bad line leaves the next", "go\tp:w\xFF\xFEnt\nrun\tp:ran\n", u"run", {u"过去式 ran", u""}},
        {"a word the file lacks", "go\tp:went\n", u"went", {u"(none)", u""}},
        {"an empty file", "", u"go", {u"(none)", u""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Examples table = Examples::parse(c.file);
        EXPECT_EQ(seen(table, c.lookUp), c.expected);
    }
}

TEST(Examples, GarbledAndHugeInputIsSafe)
{
    // A line beyond the limit is skipped whole, the next one is read.
    std::string file = "long\t\t1\tlong\t" + std::string(kExampleLineLimit, 'a') + "\t长\ngo\tp:went\n";
    // Random bytes, tabs and line breaks among them.
    for (int i = 0; i < 20000; ++i) file.push_back(static_cast<char>((i * 7919 + i / 13) % 256));
    file += "\nrun\tp:ran\n";
    const Examples table = Examples::parse(file);
    EXPECT_EQ(table.find(u"long"), nullptr);
    EXPECT_EQ(seen(table, u"go"), (Seen{u"过去式 went", u""}));
    EXPECT_EQ(seen(table, u"run"), (Seen{u"过去式 ran", u""}));
}

TEST(Examples, LoadTakesTheFirstFolderThatHasTheFile)
{
    TempDir user, program, empty;
    writeBytes(program.path() / "mivora-examples.tsv", "go\tp:went\n");
    writeBytes(user.path() / "mivora-examples.tsv", "go\tp:gone\n");
    EXPECT_EQ(seen(Examples::load({empty.path(), program.path()}), u"go"), (Seen{u"过去式 went", u""}));
    EXPECT_EQ(seen(Examples::load({user.path(), program.path()}), u"go"), (Seen{u"过去式 gone", u""}));
    EXPECT_TRUE(Examples::load({empty.path()}).empty());
    EXPECT_TRUE(Examples::load({}).empty());
    // A folder that is a file, a file that is a folder.
    writeBytes(empty.path() / "plain", "x");
    std::filesystem::create_directory(empty.path() / "sub");
    std::filesystem::create_directory(empty.path() / "sub" / "mivora-examples.tsv");
    EXPECT_EQ(seen(Examples::load({empty.path() / "plain", empty.path() / "sub", program.path()}), u"go"),
              (Seen{u"过去式 went", u""}));
}
