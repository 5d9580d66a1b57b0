#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "StoreTestSupport.h"
#include "store/lists/WordListImport.h"
#include "store/text/Gb18030.h"
#include "store/text/Text.h"

using namespace storetest;

namespace {

// The system code page of the tests: one byte, one character (Latin-1), so
// that a file in it reads differently from UTF-8.
std::u16string latin1(std::string_view bytes)
{
    std::u16string text;
    for (const char c : bytes) text.push_back(static_cast<unsigned char>(c));
    return text;
}

std::string utf8(std::u16string_view text)
{
    std::string out;
    encodeUtf8(text, out);
    return out;
}

std::string utf16be(std::u16string_view text)
{
    std::string bytes = "\xFE\xFF";
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c >> 8));
        bytes.push_back(static_cast<char>(c & 0xFF));
    }
    return bytes;
}

// The list file as lines "word|phonetic|meaning", CR LF checked.
std::vector<std::u16string> listLines(const fs::path& file)
{
    const std::string bytes = readBytes(file);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    std::vector<std::u16string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find(u"\r\n", start);
        EXPECT_NE(end, std::u16string::npos) << "line without CR LF";
        if (end == std::u16string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

struct Shape {
    const char* name;
    std::string bytes;
    std::vector<std::u16string> expected;  // the list written; empty: refused, nothing written
    std::u16string message;
};

// Imports each shape with the shipped lists of the tests beside it and
// checks the message and the list written.
template <std::size_t N>
void runShapes(const Shape (&shapes)[N])
{
    TempDir shipped;
    writeBytes(shipped.path() / u"英语四级词汇.txt", utf16le(u"apple|ˈæpl|n. 苹果\r\nbanana|bəˈnɑːnə|n. 香蕉\r\n"));
    writeBytes(shipped.path() / u"GRE词汇.txt", utf16le(u"cherry|ˈtʃeri|n. 樱桃\r\n"));
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        TempDir dic;
        const fs::path source = dic.path() / "source.txt";
        writeBytes(source, shape.bytes);
        const ImportResult result = importWordList(source, dic.path() / "dic", u"生词本", {shipped.path()}, latin1);
        EXPECT_EQ(importMessage(result), shape.message);
        const fs::path list = dic.path() / "dic" / u"生词本.txt";
        if (shape.expected.empty()) {
            EXPECT_FALSE(fs::exists(dic.path() / "dic")) << "a refused file wrote something";
            continue;
        }
        EXPECT_EQ(listLines(list), shape.expected);
        EXPECT_EQ(std::distance(fs::directory_iterator(dic.path() / "dic"), fs::directory_iterator{}), 1);
    }
}

TEST(WordListImport, ShapesBecomeLists)
{
    const Shape shapes[] = {
        {"有道 XML, trans over lines, phonetic in its own brackets",
         utf8(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<wordbook>\n"
              u"<item><word>abandon</word>\n<trans><![CDATA[vt. 放弃\nn. 放任]]></trans>\n"
              u"<phonetic><![CDATA[[əˈbændən]]]></phonetic><tags></tags><progress>1</progress></item>\n"
              u"<item><word>apple</word><trans><![CDATA[]]></trans><phonetic><![CDATA[]]></phonetic></item>\n"
              u"<item><word>R&amp;D</word><trans><![CDATA[研发]]></trans><phonetic></phonetic></item>\n"
              u"</wordbook>\n"),
         {u"abandon|əˈbændən|vt. 放弃；n. 放任", u"apple|ˈæpl|n. 苹果", u"R&D||研发"},
         u"导入 3 个词"},
        {"欧路 CSV: running number, quoted fields, a definition with a comma and a line break",
         utf8(u"1,\"apple\",\"n. 苹果\"\r\n2,\"ride\",\"v. 骑, 乘\r\nn. "
              u"旅程\"\r\n3,\"Apple\",\"重复\"\r\n4,\"\",\"无词\"\r\n"),
         {u"apple|ˈæpl|n. 苹果", u"ride||v. 骑, 乘；n. 旅程"},
         u"导入 2 个词，跳过 1 行：第 5 行"},
        {"欧路 CSV with a header and a phonetic column",
         "\xEF\xBB\xBF" + utf8(u"单词,音标,释义\nbanana,/bəˈnɑːnə/,n. 香蕉\ncherry,,\n"),
         {u"banana|bəˈnɑːnə|n. 香蕉", u"cherry|ˈtʃeri|n. 樱桃"},
         u"导入 2 个词"},
        {"CSV with a bare and a 英/美 phonetic column after the meaning",
         utf8(u"melon,n. 甜瓜,mɛlən\nlemon,n. 柠檬,英 [ˈlemən] 美 [ˈlɛmən]\n"),
         {u"melon|mɛlən|n. 甜瓜", u"lemon|ˈlemən|n. 柠檬"},
         u"导入 2 个词"},
        {"欧路 TXT: definitions over several lines",
         utf8(u"1@apple@n. 苹果\n苹果树\n2@banana@n. 香蕉\n3@|bad@坏\n"),
         {u"apple|ˈæpl|n. 苹果；苹果树", u"banana|bəˈnɑːnə|n. 香蕉"},
         u"导入 2 个词，跳过 1 行：第 4 行"},
        {"Anki TSV: headers, HTML stripped, a phonetic column, an excluded tags column",
         utf8(u"#separator:tab\n#html:true\n#tags column:4\n"
              u"<b>apple</b>\t[ˈæpəl]\t苹果<br>水果\tfruit\n"
              u"cherry\t\"樱桃; 车厘子\"\t\tfruit\n"
              u"\t无词\t\tfruit\n"),
         {u"apple|ˈæpəl|苹果；水果", u"cherry|ˈtʃeri|樱桃; 车厘子"},
         u"导入 2 个词，跳过 1 行：第 6 行"},
        {"Anki text with #html:false keeps angle brackets",
         utf8(u"#separator:semicolon\n#html:false\na<b;小于号\n"),
         {u"a<b||小于号"},
         u"导入 1 个词"},
        {"Excel semicolon CSV in UTF-16 with a big-endian mark",
         utf16be(u"word;meaning\ngrape;n. 葡萄\n"),
         {u"grape||n. 葡萄"},
         u"导入 1 个词"},
        {"Excel comma CSV in UTF-16LE with a mark",
         utf16le(u"\uFEFFpear,\"n. 梨, 梨树\"\r\nplum,n. 李子\r\n"),
         {u"pear||n. 梨, 梨树", u"plum||n. 李子"},
         u"导入 2 个词"},
        {"CSV with doubled quotes inside a quoted meaning",
         utf8(u"greet,\"v. say \"\"hello\"\" to someone\"\r\n"),
         {u"greet||v. say \"hello\" to someone"},
         u"导入 1 个词"},
        {"header row in capitals", utf8(u"Word,Meaning\ngrape,n. 葡萄\n"), {u"grape||n. 葡萄"}, u"导入 1 个词"},
        {"tab text in the system code page",
         std::string("caf\xE9\tcoffee house\nna\xEFve\tsimple\n"),
         {u"café||coffee house", u"naïve||simple"},
         u"导入 2 个词"},
        {"plain list of words: gaps filled, duplicates once, unreadable lines named",
         utf8(u"apple\nCherry\n\n12345\nAPPLE\ntake off\n???\n"),
         {u"apple|ˈæpl|n. 苹果", u"Cherry|ˈtʃeri|n. 樱桃", u"take off||"},
         u"导入 3 个词，跳过 2 行：第 4、7 行"},
        {"a picture",
         std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10", 20),
         {},
         u"这个文件不是文本（可能是图片或其他文件），不是生词本，没有导入。"},
        {"an empty file", std::string(), {}, u"这个文件是空的，没有可以导入的单词。"},
        {"only blank lines", std::string("\r\n \r\n"), {}, u"这个文件是空的，没有可以导入的单词。"},
        {"text without a word", utf8(u"1,2,3\n4,5,6\n"), {}, u"这个文件里没有找到可以导入的单词，没有导入。"},
        {"too large",
         std::string(kImportMaxBytes + 1, 'a'),
         {},
         u"这个文件太大（超过 16 MB），不像是生词本，没有导入。"},
    };
    runShapes(shapes);
}

// The shapes in which learners' own lists go wrong most easily, each as the
// program named saves it or as people type it.
TEST(WordListImport, LearnersShapesKeepTheirMeanings)
{
    const Shape shapes[] = {
        {"typed list: word and meaning separated by spaces, running numbers, a phonetic",
         utf8(u"abandon vt. 放弃；抛弃\r\n2. ability [əˈbɪləti] n. 能力\r\n3、take off 起飞\r\n"),
         {u"abandon||vt. 放弃；抛弃", u"ability|əˈbɪləti|n. 能力", u"take off||起飞"},
         u"导入 3 个词"},
        {"Excel CSV UTF-8 with a mark, header 单词,中文释义",
         "\xEF\xBB\xBF" + utf8(u"单词,中文释义\r\nabandon,放弃\r\nability,能力\r\n"),
         {u"abandon||放弃", u"ability||能力"},
         u"导入 2 个词"},
        {"header 单词,意思", utf8(u"单词,意思\nabandon,放弃\n"), {u"abandon||放弃"}, u"导入 1 个词"},
        {"header Word,Part of Speech,Chinese Meaning: the part of speech before the meaning",
         utf8(u"Word,Part of Speech,Chinese Meaning\nabandon,v.,放弃；抛弃\nability,n.,能力\n"),
         {u"abandon||v. 放弃；抛弃", u"ability||n. 能力"},
         u"导入 2 个词"},
        {"header in capitals with English meanings",
         utf8(u"WORD,MEANINGS\nabandon,to give up\nability,being able\n"),
         {u"abandon||to give up", u"ability||being able"},
         u"导入 2 个词"},
        {"header the program does not know, over Chinese meanings",
         utf8(u"Lemma,Chinese translation\nabandon,放弃\nability,能力\n"),
         {u"abandon||放弃", u"ability||能力"},
         u"导入 2 个词"},
        {"header where the word column is named and the meaning column is not",
         utf8(u"Word,Note\nabandon,放弃\nability,能力\n"),
         {u"abandon||放弃", u"ability||能力"},
         u"导入 2 个词"},
        {"no header, plain ASCII phonetics in the second column",
         utf8(u"able,'eibl,a. 能够的\ncreep,kri:p,v. 爬\nabandon,ə'bændən,v. 放弃\n"),
         {u"able|'eibl|a. 能够的", u"creep|kri:p|v. 爬", u"abandon|ə'bændən|v. 放弃"},
         u"导入 3 个词"},
        {"no header, a part-of-speech column",
         utf8(u"abandon,v.,放弃；抛弃\nability,n.,能力\n"),
         {u"abandon||v. 放弃；抛弃", u"ability||n. 能力"},
         u"导入 2 个词"},
        {"Anki notes with sound references",
         utf8(u"#separator:tab\n#html:true\ngrant [sound:grant.mp3]\t[sound:g2.mp3]\tv. 授予\n"
              u"abandon\t[sound:abandon.mp3]\t/əˈbændən/\tv. 放弃\n"),
         {u"grant||v. 授予", u"abandon|əˈbændən|v. 放弃"},
         u"导入 2 个词"},
        {"Anki cloze notes: a cloze alone is the word, a sentence with one is none",
         utf8(u"#separator:tab\n{{c1::passphrase}}\tThe passphrase was wrong. 密码短语\n"
              u"The {{c1::key::noun}} is lost\t钥匙\n"),
         {u"passphrase||The passphrase was wrong. 密码短语"},
         u"导入 1 个词，跳过 1 行：第 3 行"},
        {"comma CSV whose meanings hold semicolons",
         utf8(u"abandon,v. 放弃;抛弃\nability,n. 能力\nabsent,adj. 缺席的;不在的\n"),
         {u"abandon||v. 放弃;抛弃", u"ability||n. 能力", u"absent||adj. 缺席的;不在的"},
         u"导入 3 个词"},
        {"an unbalanced quote ends at the next whole row",
         utf8(u"abandon,\"v. 放弃\nability,n. 能力\nabsent,adj. 缺席的\n"),
         {u"ability||n. 能力", u"absent||adj. 缺席的"},
         u"导入 2 个词，跳过 1 行：第 1 行"},
        {"doubled quotes inside a quoted field",
         utf8(u"hello,\"int. \"\"hello\"\" to someone\"\nhi,int. 嗨\n"),
         {u"hello||int. \"hello\" to someone", u"hi||int. 嗨"},
         u"导入 2 个词"},
        {"UTF-8 with one stray byte: only that line is lost",
         utf8(u"abandon,放弃\nability,能力\n") + "absent,\xB7\xC5\xC6\xFA\n" +
             utf8(u"absorb,吸收\nabstract,抽象的\nabsurd,荒谬的\n"),
         {u"abandon||放弃", u"ability||能力", u"absorb||吸收", u"abstract||抽象的", u"absurd||荒谬的"},
         u"导入 5 个词，跳过 1 行：第 3 行"},
        {"Excel ANSI (GBK) CSV read on a system of another code page, IPA turned to ?",
         std::string("abandon,,\xB7\xC5\xC6\xFA\r\nbanana,b?'n??n?,\xCF\xE3\xBD\xB6\r\n"),
         {u"abandon||放弃", u"banana|bəˈnɑːnə|香蕉"},
         u"导入 2 个词"},
        {"有道 XML: a Chinese look-up and a placeholder phonetic",
         utf8(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<wordbook>\n"
              u"<item><word>影响</word><trans><![CDATA[influence]]></trans></item>\n"
              u"<item><word>passphrase</word><trans><![CDATA[n. 密码短语]]></trans>"
              u"<phonetic><![CDATA[[passphrase]]]></phonetic></item>\n</wordbook>\n"),
         {u"passphrase||n. 密码短语"},
         u"导入 1 个词，跳过 1 行：第 3 行"},
        {"typed list with a Chinese line",
         utf8(u"abandon 放弃\n影响\n"),
         {u"abandon||放弃"},
         u"导入 1 个词，跳过 1 行：第 2 行"},
        {"欧路 TXT: a definition listed over lines",
         utf8(u"1@abandon@\r\n- v. 放弃\r\n- n. 放任\r\n2@ability@n. 能力\r\n"),
         {u"abandon||v. 放弃；n. 放任", u"ability||n. 能力"},
         u"导入 2 个词"},
        {"欧路 StudyList.xml",
         utf8(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<CustomizeList>\n"
              u"<CustomizeListItem word=\"abandon\" exp=\"v. 放弃&lt;br&gt;n. 放任\" addtime=\"2024-01-01\" />\n"
              u"<CustomizeListItem word=\"R&amp;D\" exp=\"研发\" />\n</CustomizeList>\n"),
         {u"abandon||v. 放弃；n. 放任", u"R&D||研发"},
         u"导入 2 个词"},
        {"the program's own list in UTF-16 without a mark",
         utf16le(u"abandon|əˈbændən|v. 放弃\r\nability||n. 能力\r\n"),
         {u"abandon|əˈbændən|v. 放弃", u"ability||n. 能力"},
         u"导入 2 个词"},
        {"the program's own list in UTF-8",
         utf8(u"abandon|əˈbændən|v. 放弃\nability||n. 能力\n"),
         {u"abandon|əˈbændən|v. 放弃", u"ability||n. 能力"},
         u"导入 2 个词"},
    };
    runShapes(shapes);
}

// The name of a list made from a file: never the review log's or one of its
// copies', never a name in use.
TEST(WordListImport, ImportedListNames)
{
    const struct {
        const char16_t* file;
        std::vector<std::u16string> taken;
        std::u16string expected;
    } cases[] = {
        {u"C:/下载/我的生词本.csv", {}, u"我的生词本"},
        {u"C:/下载/Mivora-Review-PC2.txt", {}, u"生词本"},
        {u"C:/下载/mivora-review.txt", {}, u"生词本"},
        {u"C:/下载/words.txt", {u"words", u"words (2)"}, u"words (3)"},
        {u"C:/下载/CON.txt", {}, u"生词本"},
        {u"C:/下载/a|b.csv", {}, u"a_b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fs::path(c.file).filename().string());
        const auto taken = [&](std::u16string_view name) {
            return std::find(c.taken.begin(), c.taken.end(), name) != c.taken.end();
        };
        EXPECT_EQ(importedListName(fs::path(c.file), 40, taken), c.expected);
    }
}

// The steps the preview runs: what was found, taken again as the learner
// changed it, written; a long run reports progress and ends when cancelled.
TEST(WordListImport, PreviewStepsFollowTheLearnersChoices)
{
    TempDir dic;
    ImportJob job;
    job.codePage = latin1;
    // A comma file whose meanings hold semicolons: the guess is the comma.
    const std::string file = utf8(u"No.,Word,Meaning\n1,abandon,v. 放弃;抛弃\n2,ability,n. 能力\n3,影响,x\n");
    ImportAnalysis analysis = analyseWordList(file, job);
    EXPECT_EQ(analysis.refusal, ImportRefusal::none);
    EXPECT_EQ(analysis.encoding, ImportEncoding::utf8);
    EXPECT_EQ(analysis.choices.separator, u',');
    EXPECT_TRUE(analysis.choices.header);
    EXPECT_EQ(analysis.choices.roles,
              (std::vector<ColumnRole>{ColumnRole::ignore, ColumnRole::word, ColumnRole::meaning}));
    EXPECT_EQ(analysis.columns, 3u);
    ASSERT_EQ(analysis.firstWords.size(), 2u);
    EXPECT_EQ(analysis.firstWords[0].meaning, u"v. 放弃;抛弃");
    EXPECT_EQ(analysis.words.size(), 2u);
    EXPECT_EQ(analysis.skippedLines, std::vector<std::size_t>{4});

    // The learner says: no header, the second column is the word, the first
    // its meaning.
    ImportChoices choices = analysis.choices;
    choices.header = false;
    choices.roles = {ColumnRole::meaning, ColumnRole::word, ColumnRole::ignore};
    analysis = applyImportChoices(std::move(analysis), choices, job);
    EXPECT_EQ(analysis.choices.roles, choices.roles);
    ASSERT_EQ(analysis.words.size(), 3u);
    EXPECT_EQ(analysis.words[0].word, u"Word");
    EXPECT_EQ(analysis.words[0].meaning, u"No.");
    EXPECT_EQ(analysis.words[1].meaning, u"1");
    ASSERT_EQ(writeImportedList(analysis, dic.path(), u"我的", job), ImportRefusal::none);
    EXPECT_EQ(listLines(dic.path() / u"我的.txt"),
              (std::vector<std::u16string>{u"Word||No.", u"abandon||1", u"ability||2"}));
    EXPECT_EQ(writeImportedList(analysis, dic.path(), u"我的", job), ImportRefusal::notWritten)
        << "written over a list";

    // A long file: progress grows to the whole, a cancel ends the step.
    std::string many;
    for (int i = 0; i < 8000; ++i) many += "word" + std::to_string(i) + ",n. " + std::to_string(i) + "\n";
    std::vector<std::size_t> reported;
    std::size_t whole = 0;
    job.progress = [&](std::size_t done, std::size_t total) {
        reported.push_back(done);
        whole = total;
    };
    const ImportAnalysis complete = analyseWordList(many, job);
    EXPECT_EQ(complete.words.size(), 8000u);
    ASSERT_GE(reported.size(), 3u);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_GT(reported.back(), whole / 2);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    job.cancel = cancel;
    job.progress = [&](std::size_t done, std::size_t) {
        if (done > 0) cancel->store(true);
    };
    EXPECT_EQ(analyseWordList(many, job).refusal, ImportRefusal::cancelled);
    // Cancelled while applied: the file stays, to be applied again.
    const ImportAnalysis stopped = applyImportChoices(complete, complete.choices, job);
    EXPECT_EQ(stopped.refusal, ImportRefusal::cancelled);
    EXPECT_TRUE(stopped.words.empty());
    cancel->store(false);
    job.progress = nullptr;
    EXPECT_EQ(applyImportChoices(stopped, stopped.choices, job).words.size(), 8000u);
}

// How the bytes are read, by the system's code page: Notepad's "ANSI" on a
// Chinese system is its code page; GBK on another system is still GB18030.
TEST(WordListImport, EncodingFollowsTheFileAndTheSystem)
{
    const auto chinese = [](std::string_view bytes) {
        std::u16string text;
        decodeGb18030(bytes, text);
        return text;
    };
    const std::string gbk = "abandon,\xB7\xC5\xC6\xFA\r\nability,\xC4\xDC\xC1\xA6\r\n";
    std::string utf16be;
    for (const char16_t c : std::u16string(u"abandon|əˈbændən|v. 放弃\r\n")) {
        utf16be.push_back(static_cast<char>(c >> 8));
        utf16be.push_back(static_cast<char>(c & 0xFF));
    }
    const struct {
        const char* name;
        CodePageDecoder codePage;
        std::string bytes;
        ImportEncoding encoding;
        std::u16string firstMeaning;
    } cases[] = {
        {"GBK on a Chinese system", chinese, gbk, ImportEncoding::systemCodePage, u"放弃"},
        {"GBK on a Western system", latin1, gbk, ImportEncoding::gb18030, u"放弃"},
        {"Latin-1 on a Western system", latin1, "caf\xE9,coffee house\n", ImportEncoding::systemCodePage,
         u"coffee house"},
        {"UTF-16BE without a mark", latin1, utf16be, ImportEncoding::utf16be, u"v. 放弃"},
        {"UTF-8 with a bad line", chinese,
         utf8(u"abandon,放弃\nability,能力\nabsorb,吸收\nabsurd,荒谬的\n") + "x,\xB7\xC5\n", ImportEncoding::utf8Lines,
         u"放弃"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImportJob job;
        job.codePage = c.codePage;
        const ImportAnalysis analysis = analyseWordList(c.bytes, job);
        EXPECT_EQ(analysis.encoding, c.encoding);
        ASSERT_FALSE(analysis.firstWords.empty());
        EXPECT_EQ(analysis.firstWords[0].meaning, c.firstMeaning);
    }
}

}  // namespace

// Anki names its separator in a header line. An unbalanced quote below it
// ends where a line holds the usual count of columns, as in any other file,
// and taking the file again under the same choices takes the same words and
// skips the same lines.
TEST(WordListImport, AnkisSeparatorLineKeepsTheQuoteRuleAndTheSameChoicesTakeTheSame)
{
    ImportJob job;
    job.codePage = latin1;
    const std::string file =
        utf8(u"#separator:tab\n#html:false\nabandon\t放弃\n\"broken\t打破\ncandle\t蜡烛\ndesk\t书桌\n");
    const ImportAnalysis analysis = analyseWordList(file, job);
    ASSERT_EQ(analysis.refusal, ImportRefusal::none);
    EXPECT_EQ(analysis.choices.separator, u'\t');
    std::vector<std::u16string> words;
    for (std::size_t i = 0; i < analysis.words.size(); ++i) words.push_back(analysis.words[i].word);
    EXPECT_EQ(words, (std::vector<std::u16string>{u"abandon", u"candle", u"desk"}));
    EXPECT_EQ(analysis.skippedLines, (std::vector<std::size_t>{4}));
    const ImportAnalysis again = applyImportChoices(analysis, analysis.choices, job);
    EXPECT_EQ(again.words.size(), analysis.words.size());
    EXPECT_EQ(again.skippedLines, analysis.skippedLines);
}
