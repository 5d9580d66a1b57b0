#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "store/text/Text.h"

TEST(Text, CaseFoldingTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(compareNoCase(u"Abandon", u"aBANDON"), 0);
    EXPECT_NE(compareNoCase(u"\u00C4pfel", u"\u00E4pfel"), 0);  // Ä / ä
    EXPECT_NE(compareNoCase(u"\u0391", u"\u03B1"), 0);          // Greek Α / α
    EXPECT_LT(compareNoCase(u"apple", u"Banana"), 0);
    EXPECT_GT(compareNoCase(u"abc", u"AB"), 0);
    // '[' sits between 'Z' and 'a': folding must map letters only.
    EXPECT_NE(compareNoCase(u"[", u"{"), 0);
    EXPECT_TRUE(equalNoCase(u"MiXeD 42", u"mixed 42"));
    EXPECT_FALSE(equalNoCase(u"abc", u"abcd"));
    EXPECT_EQ(foldedWord(u"HeLLo \u00C4Z"), u"hello \u00C4z");
}

TEST(Text, NumericKeyReadsLikeWcstolWith32BitLong)
{
    EXPECT_EQ(numericKey(u"abandon"), 0);
    EXPECT_EQ(numericKey(u""), 0);
    EXPECT_EQ(numericKey(u"-"), 0);
    EXPECT_EQ(numericKey(u"+x"), 0);
    EXPECT_EQ(numericKey(u"-5 minus"), -5);
    EXPECT_EQ(numericKey(u"+12x"), 12);
    EXPECT_EQ(numericKey(u" \t\r\n\v\f7"), 7);
    EXPECT_EQ(numericKey(u"007"), 7);
    EXPECT_EQ(numericKey(u"2 two"), 2);
    EXPECT_EQ(numericKey(u"10 ten"), 10);
    EXPECT_EQ(numericKey(u"00000000000000000000001"), 1);
    EXPECT_EQ(numericKey(u"2147483647"), INT32_MAX);
    EXPECT_EQ(numericKey(u"2147483648"), INT32_MAX);
    EXPECT_EQ(numericKey(u"99999999999999999999999999"), INT32_MAX);
    EXPECT_EQ(numericKey(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(numericKey(u"-2147483649"), INT32_MIN);
    EXPECT_EQ(numericKey(u"-99999999999999999999999999"), INT32_MIN);
    // Only the C locale's white space and ASCII digits count.
    EXPECT_EQ(numericKey(u"\u30005"), 0);
    EXPECT_EQ(numericKey(u"\uFF11\uFF12"), 0);
    EXPECT_EQ(numericKey(u"- 5"), 0);
}

TEST(Text, BoundedCopyCutsWithoutSplittingSurrogatesAndTerminates)
{
    char16_t field[6];
    std::fill(std::begin(field), std::end(field), u'#');
    EXPECT_EQ(copyBounded(field, u"abc"), 3u);
    EXPECT_EQ(std::u16string(field), u"abc");
    EXPECT_EQ(field[4], 0);  // zero-filled behind the text
    EXPECT_EQ(field[5], 0);

    EXPECT_EQ(copyBounded(field, u"abcdefgh"), 5u);
    EXPECT_EQ(std::u16string(field), u"abcde");

    // A pair at units 4-5 would be split by a cut after 5 units.
    EXPECT_EQ(copyBounded(field, u"abcd\U0001F600"), 4u);
    EXPECT_EQ(std::u16string(field), u"abcd");
    EXPECT_EQ(copyBounded(field, u"abc\U0001F600x"), 5u);
    EXPECT_EQ(std::u16string(field), u"abc\U0001F600");
    // A lone high surrogate is not a pair and may stay.
    EXPECT_EQ(copyBounded(field, u"abcd\xD800z"), 5u);

    char16_t one[1] = {u'x'};
    EXPECT_EQ(copyBounded(one, u"abc"), 0u);
    EXPECT_EQ(one[0], 0);
}

TEST(Text, Utf8DecodingReportsValidity)
{
    std::u16string out;
    EXPECT_TRUE(decodeUtf8("plain", out));
    EXPECT_EQ(out, u"plain");
    EXPECT_TRUE(decodeUtf8("\xE6\x94\xBE\xE5\xBC\x83 \xC9\x99", out));
    EXPECT_EQ(out, u"放弃 ə");
    EXPECT_TRUE(decodeUtf8("\xF0\x9F\x98\x80", out));
    EXPECT_EQ(out, u"\U0001F600");

    struct Bad {
        const char* bytes;
        std::u16string decoded;
    };
    const Bad bad[] = {
        {"\xC0\x80", u"\uFFFD\uFFFD"},  // overlong NUL
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"a\x80z", u"a\uFFFDz"},                            // stray continuation byte
        {"\xE6\x94", u"\uFFFD"},                            // truncated at the end
        {"\xE6\x94z", u"\uFFFDz"},                          // truncated in the middle
        {"\xFF", u"\uFFFD"},
    };
    for (const Bad& b : bad) {
        EXPECT_FALSE(decodeUtf8(b.bytes, out)) << b.bytes;
        EXPECT_EQ(out, b.decoded) << b.bytes;
    }
}

TEST(Text, Utf8EncodingRejectsLoneSurrogates)
{
    std::string bytes;
    ASSERT_TRUE(encodeUtf8(u"ab放\U0001F600", bytes));
    std::u16string back;
    ASSERT_TRUE(decodeUtf8(bytes, back));
    EXPECT_EQ(back, u"ab放\U0001F600");
    EXPECT_FALSE(encodeUtf8(u"a\xD800", bytes));
    EXPECT_FALSE(encodeUtf8(u"\xDC00z", bytes));
}

TEST(Text, Utf8EncodingAtEveryLengthsEdges)
{
    const struct {
        std::u16string text;
        std::string bytes;
    } rows[] = {
        {u"\u007F", "\x7F"},
        {u"\u0080", "\xC2\x80"},
        {u"\u07FF", "\xDF\xBF"},
        {u"\u0800", "\xE0\xA0\x80"},
        {u"\uFFFF", "\xEF\xBF\xBF"},
        {u"\U00010000", "\xF0\x90\x80\x80"},
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& row : rows) {
        std::string bytes;
        EXPECT_TRUE(encodeUtf8(row.text, bytes));
        EXPECT_EQ(bytes, row.bytes) << static_cast<unsigned>(row.text[0]);
    }
}
