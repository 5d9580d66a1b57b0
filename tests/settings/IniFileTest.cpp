// mivora.ini as files on disk: what is read from the bytes Notepad and
// other editors save, what the [Speech] values come to, and what a save
// leaves of the lines the program does not know.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "IniFile.h"
#include "SpeechSettings.h"

namespace fs = std::filesystem;

namespace {

std::string utf16le(std::u16string_view text, bool bom = true)
{
    std::string bytes = bom ? "\xFF\xFE" : "";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::string utf16be(std::u16string_view text)
{
    std::string bytes = "\xFE\xFF";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit >> 8));
        bytes.push_back(static_cast<char>(unit & 0xFF));
    }
    return bytes;
}

std::string readBytes(const fs::path& path)
{
    std::string bytes;
#ifdef _WIN32
    std::FILE* f = _wfopen(path.c_str(), L"rb");
#else
    std::FILE* f = std::fopen(path.c_str(), "rb");
#endif
    if (f == nullptr) return bytes;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

void writeBytes(const fs::path& path, const std::string& bytes)
{
#ifdef _WIN32
    std::FILE* f = _wfopen(path.c_str(), L"wb");
#else
    std::FILE* f = std::fopen(path.c_str(), "wb");
#endif
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(std::fclose(f), 0);
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("mivora-ini-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        file = folder / kIniFileName;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
    fs::path file;
};

struct ReadCase {
    const char* name;
    std::string bytes;  // the file; "<none>" for no file
    SpeechSettings expected;
    IniLoad load;
};

SpeechSettings speech(bool autoRead, std::u16string voice, int rate, int volume)
{
    return SpeechSettings{autoRead, std::move(voice), rate, volume};
}

const char16_t kZira[] = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\TTS_MS_EN-US_ZIRA_11.0";

std::vector<ReadCase> readCases()
{
    const std::u16string full =
        u"[Speech]\r\nAutoRead=1\r\nVoice=" + std::u16string(kZira) + u"\r\nRate=-3\r\nVolume=55\r\n";
    const SpeechSettings fullValues = speech(true, kZira, -3, 55);
    const SpeechSettings defaults;
    std::string utf8 = "[Speech]\nAutoRead=1\nVoice=";
    for (char16_t c : std::u16string(kZira)) utf8.push_back(static_cast<char>(c));
    utf8 += "\nRate=-3\nVolume=55\n";
    return {
        {"no file", "<none>", defaults, IniLoad::Missing},
        {"empty file", "", defaults, IniLoad::Read},
        {"UTF-16LE with BOM, CR LF", utf16le(full), fullValues, IniLoad::Read},
        {"UTF-16BE with BOM", utf16be(full), fullValues, IniLoad::Read},
        {"UTF-8 with BOM, LF", "\xEF\xBB\xBF" + utf8, fullValues, IniLoad::Read},
        {"UTF-8 without BOM", utf8, fullValues, IniLoad::Read},
        {"UTF-16LE, odd last byte", utf16le(full) + "\x41", fullValues, IniLoad::Read},
        {"lone CR line ends", "[Speech]\rAutoRead=1\rRate=2\r", speech(true, u"", 2, 100), IniLoad::Read},
        {"ASCII case, spaces, quotes", "[ speech ]\n  autoread = 1 \nVOICE = \"Zira\"\n\trate\t=\t10\nvolume=0",
         speech(true, u"Zira", 10, 0), IniLoad::Read},
        {"first of two equal keys and sections", "[Speech]\nRate=4\nRate=5\n[Speech]\nRate=6\nVolume=7\n",
         speech(false, u"", 4, 100), IniLoad::Read},
        {"keys outside the section do not count", "Rate=5\n[Other]\nVolume=3\n[Speech]\n;Rate=7\n# AutoRead=1\n",
         defaults, IniLoad::Read},
        {"out of range", "[Speech]\nAutoRead=2\nRate=11\nVolume=101\n", defaults, IniLoad::Read},
        {"just out of range below", "[Speech]\nAutoRead=-1\nRate=-11\nVolume=-1\n", defaults, IniLoad::Read},
        {"the edges are in range", "[Speech]\nAutoRead=0\nRate=-10\nVolume=100\n", speech(false, u"", -10, 100),
         IniLoad::Read},
        {"not numbers", "[Speech]\nAutoRead=yes\nRate=1.5\nVolume=0x10\n", defaults, IniLoad::Read},
        {"empty values and signs alone", "[Speech]\nAutoRead=\nRate=-\nVolume=+\nVoice=\n", defaults, IniLoad::Read},
        {"overflowing number", "[Speech]\nRate=99999999999999999999\nVolume=4294967346\n", defaults, IniLoad::Read},
        {"nonsense: binary, no '=', bad UTF-8 that is GB18030",
         std::string("\x00\x01[Speech\n=5\nRate\nVolume==\n\xC4\xE3\xBA\xC3=1\nAutoRead=\xFF\n", 43), defaults,
         IniLoad::Read},
        {"one good value among bad ones", "[Speech]\nAutoRead=on\nRate=+7\nVolume=loud\n", speech(false, u"", 7, 100),
         IniLoad::Read},
    };
}

TEST_F(IniFileTest, ReadsEveryEncodingAndGivesEachBadValueItsDefault)
{
    for (const ReadCase& c : readCases()) {
        SCOPED_TRACE(c.name);
        fs::remove(file);
        if (c.bytes != "<none>") writeBytes(file, c.bytes);
        IniDocument document;
        EXPECT_EQ(loadIniFile(file, document), c.load);
        const SpeechSettings got = readSpeechSettings(document);
        EXPECT_EQ(got.autoRead, c.expected.autoRead);
        EXPECT_TRUE(got.voice == c.expected.voice);
        EXPECT_EQ(got.rate, c.expected.rate);
        EXPECT_EQ(got.volume, c.expected.volume);
    }
}

// The code page Notepad's "ANSI" means here: the system's on Windows, a
// Chinese Windows's elsewhere.
unsigned ansiCodePage()
{
#ifdef _WIN32
    return GetACP();
#else
    return 936;
#endif
}

TEST_F(IniFileTest, ANotepadAnsiFileIsReadInTheSystemsCodePage)
{
    const struct {
        unsigned codePage;
        std::string bytes;
        std::u16string section;
        std::u16string value;
    } cases[] = {
        {936, "[\xC4\xE3\xBA\xC3]\nKey=\xC4\xE3\n", u"你好", u"你"},
        {54936, "[\xC4\xE3\xBA\xC3]\nKey=\x81\x30\x81\x30\n", u"你好", u"\u0080"},
        {1252, "[Gr\xFC\xDF" "e]\nKey=\xE9t\xE9\n", u"Grüße", u"été"},
        {1251, "[\xCF\xF0\xE8\xE2\xE5\xF2]\nKey=\xE4\xE0\n", u"Привет", u"да"},
    };
    bool tested = false;
    for (const auto& c : cases) {
        if (c.codePage != ansiCodePage() && !(c.codePage == 54936 && ansiCodePage() == 936)) continue;
        tested = true;
        writeBytes(file, c.bytes);
        IniDocument document;
        ASSERT_EQ(loadIniFile(file, document), IniLoad::Read);
        EXPECT_TRUE(document.get(c.section, u"Key") == c.value) << c.codePage;
    }
    if (!tested) GTEST_SKIP() << "no row for code page " << ansiCodePage();
}

struct SaveCase {
    const char* name;
    std::string before;    // "<none>" for no file
    std::u16string after;  // the text saved, without its BOM
};

TEST_F(IniFileTest, SaveKeepsWhatItDoesNotKnowAndWritesUtf16WithBom)
{
    const SpeechSettings values = speech(true, u"Voice One", -2, 80);
    const std::u16string ours = u"AutoRead=1\r\nVoice=Voice One\r\nRate=-2\r\nVolume=80\r\n";
    const std::vector<SaveCase> cases = {
        {"no file", "<none>", u"[Speech]\r\n" + ours},
        {"comments and other sections kept, values set in place, unknown key kept",
         "; my settings\n[Hotkeys]\nNext=Ctrl+Alt+N\n\n[speech]\n; slower "
         "please\nrate=5\nPitch=3\nVOLUME=1\n\n[Later]\nX=1\n",
         u"; my settings\r\n[Hotkeys]\r\nNext=Ctrl+Alt+N\r\n\r\n[speech]\r\n; slower please\r\nrate=-2\r\nPitch=3\r\n"
         u"VOLUME=80\r\nAutoRead=1\r\nVoice=Voice One\r\n\r\n[Later]\r\nX=1\r\n"},
        {"section added after the last with a blank line", "[Hotkeys]\r\nPause=Ctrl+Alt+P",
         u"[Hotkeys]\r\nPause=Ctrl+Alt+P\r\n\r\n[Speech]\r\n" + ours},
        {"Chinese text of a UTF-8 file kept", "[备注]\n说明=单词本\n",
         u"[备注]\r\n说明=单词本\r\n\r\n[Speech]\r\n" + ours},
    };
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(file);
        if (c.before != "<none>") writeBytes(file, c.before);
        IniDocument document;
        loadIniFile(file, document);
        writeSpeechSettings(document, values);
        ASSERT_TRUE(saveIniFile(file, document));
        EXPECT_EQ(readBytes(file), utf16le(c.after));
        EXPECT_FALSE(fs::exists(folder / "mivora.ini.tmp"));
        // What was written reads back as the same values.
        IniDocument again;
        ASSERT_EQ(loadIniFile(file, again), IniLoad::Read);
        EXPECT_TRUE(readSpeechSettings(again) == values);
        EXPECT_TRUE(again == document);
    }
}

TEST_F(IniFileTest, SetCutsAValueAtALineBreak)
{
    IniDocument document;
    document.set(u"Speech", u"Voice", u"a\r\n[Evil]\r\nx=1");
    EXPECT_TRUE(document.get(u"Speech", u"Voice") == std::u16string(u"a"));
    EXPECT_FALSE(document.get(u"Evil", u"x").has_value());
}

TEST_F(IniFileTest, AFailedSaveLeavesTheFileAsItWas)
{
    writeBytes(file, "[Speech]\nRate=3\n");
    IniDocument document = IniDocument::parse("[Speech]\nRate=4\n");
    // The temporary file's name taken by a folder: nothing can be written.
    fs::create_directories(folder / "mivora.ini.tmp" / "x");
    EXPECT_FALSE(saveIniFile(file, document));
    EXPECT_EQ(readBytes(file), "[Speech]\nRate=3\n");
}

TEST_F(IniFileTest, AFolderInThePlaceOfTheFileIsUnreadableAndNeverReplaced)
{
    fs::create_directories(file / "x");
    IniDocument document;
    EXPECT_EQ(loadIniFile(file, document), IniLoad::Unreadable);
    EXPECT_FALSE(saveIniFile(file, document));
    EXPECT_TRUE(fs::is_directory(file / "x"));
}

}  // namespace
