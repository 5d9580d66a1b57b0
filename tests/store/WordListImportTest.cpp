#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StoreTestSupport.h"
#include "store/text/Text.h"
#include "store/lists/WordListImport.h"

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
         {u"abandon|əˈbændən|vt. 放弃 n. 放任", u"apple|ˈæpl|n. 苹果", u"R&D||研发"},
         u"导入 3 个词"},
        {"欧路 CSV: running number, quoted fields, a definition with a comma and a line break",
         utf8(u"1,\"apple\",\"n. 苹果\"\r\n2,\"ride\",\"v. 骑, 乘\r\nn. "
              u"旅程\"\r\n3,\"Apple\",\"重复\"\r\n4,\"\",\"无词\"\r\n"),
         {u"apple|ˈæpl|n. 苹果", u"ride||v. 骑, 乘 n. 旅程"},
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
         {u"apple|ˈæpl|n. 苹果 苹果树", u"banana|bəˈnɑːnə|n. 香蕉"},
         u"导入 2 个词，跳过 1 行：第 4 行"},
        {"Anki TSV: headers, HTML stripped, a phonetic column, an excluded tags column",
         utf8(u"#separator:tab\n#html:true\n#tags column:4\n"
              u"<b>apple</b>\t[ˈæpəl]\t苹果<br>水果\tfruit\n"
              u"cherry\t\"樱桃; 车厘子\"\t\tfruit\n"
              u"\t无词\t\tfruit\n"),
         {u"apple|ˈæpəl|苹果 水果", u"cherry|ˈtʃeri|樱桃; 车厘子"},
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

}  // namespace
