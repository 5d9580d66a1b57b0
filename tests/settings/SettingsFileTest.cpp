// The settings file's semantics on real files: what is read, what is written,
// and what must never be touched.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "SettingsFile.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes readBytes(const fs::path& p)
{
#ifdef _WIN32
    std::FILE* f = _wfopen(p.c_str(), L"rb");
#else
    std::FILE* f = std::fopen(p.c_str(), "rb");
#endif
    Bytes out;
    if (f == nullptr) return out;
    std::uint8_t buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return out;
}

bool writeBytes(const fs::path& p, const Bytes& bytes)
{
#ifdef _WIN32
    std::FILE* f = _wfopen(p.c_str(), L"wb");
#else
    std::FILE* f = std::fopen(p.c_str(), "wb");
#endif
    if (f == nullptr) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

Bytes imageOf(const SettingsRecord& r)
{
    Bytes b(sizeof r);
    std::memcpy(b.data(), &r, sizeof r);
    return b;
}

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const Bytes& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}

// A byte pattern with no zero bytes, so that nothing in it can pass for an
// untouched or defaulted field.
Bytes pattern(std::size_t size, std::uint8_t seed)
{
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(1 + (seed + i * 7) % 251);
    return b;
}

// The defaulted file, built from the documented offsets rather than from the
// record type.
Bytes expectedDefaults(std::int32_t maximizedWidth)
{
    Bytes b(284, 0);
    put32(b, 4, 1);    // autoSwitch
    put32(b, 12, 1);   // sampleBackground
    put32(b, 24, static_cast<std::uint32_t>(maximizedWidth - 300));
    put32(b, 28, 48);
    put32(b, 32, 200);
    put32(b, 36, 36);
    put32(b, 40, 0x00FF0000);
    put32(b, 44, 0x000F000F);
    put32(b, 48, 0x00336600);
    put32(b, 52, 0x00FFFFFF);
    put32(b, 56, 10);  // switchSeconds
    put32(b, 60, 15);  // cycleSize
    put32(b, 64, static_cast<std::uint32_t>(-16));
    put32(b, 80, 400);
    const std::uint8_t tail[] = {0x03, 0x02, 0x01, 0x22};
    std::memcpy(&b[88], tail, sizeof tail);
    const char arial[] = "Arial";
    for (std::size_t i = 0; i < 5; ++i) b[92 + 2 * i] = static_cast<std::uint8_t>(arial[i]);
    const std::uint8_t dictionary[] = {0xf1, 0x82, 0xed, 0x8b, 0xdb, 0x56, 0xa7, 0x7e, 0xcd, 0x8b, 0x47, 0x6c};
    std::memcpy(&b[156], dictionary, sizeof dictionary);
    return b;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<unsigned> counter{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path() /
               ("mivora-settings-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        ASSERT_TRUE(fs::create_directories(dir_));
        file_ = dir_ / "mivora.bin";
    }

    void TearDown() override
    {
        std::error_code ec;
        // Read-only files cannot be deleted on Windows.
        for (auto& entry : fs::recursive_directory_iterator(dir_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    // A path of exactly `units` UTF-16 units below dir_, with its directories
    // created. Components stay short enough for every file system.
    fs::path pathOfUnits(std::size_t units, const std::u16string& filler)
    {
        std::size_t used = dir_.u16string().size();
        fs::path p = dir_;
        while (true) {
            std::size_t room = units - used - 1;  // one unit for the separator
            std::u16string name;
            std::size_t take = room > 80 ? 60 : room;
            while (name.size() < take) name += filler.substr(0, take - name.size());
            used += 1 + name.size();
            p /= fs::path(name);
            if (used == units) return p;
            fs::create_directories(p);
        }
    }

    fs::path dir_;
    fs::path file_;
};

TEST_F(SettingsFileTest, FirstRunCreatesFileHoldingTheDefaults)
{
    SettingsRecord r{};
    ASSERT_EQ(loadSettingsFile(file_, r, 1920), SettingsLoad::DefaultsWritten);
    Bytes file = readBytes(file_);
    ASSERT_EQ(file.size(), 284u);
    EXPECT_EQ(file, expectedDefaults(1920));
    EXPECT_EQ(imageOf(r), file);
    EXPECT_EQ(get32(file, 24), 1620u);

    // A narrow screen puts the window off its left edge; the value is kept.
    SettingsRecord narrow{};
    applyDefaultSettings(narrow, 100);
    EXPECT_EQ(narrow.windowX, -200);

    // Fields whose default is zero are not assigned at all.
    SettingsRecord kept{};
    kept.autoStart = 1;
    kept.titleBarMode = 1;
    kept.font.lfCharSet = 134;
    kept.font.lfFaceName[20] = u'x';
    applyDefaultSettings(kept, 1920);
    EXPECT_EQ(kept.autoStart, 1);
    EXPECT_EQ(kept.titleBarMode, 1);
    EXPECT_EQ(kept.font.lfCharSet, 134);
    EXPECT_EQ(kept.font.lfFaceName[20], u'x');
    EXPECT_EQ(kept.font.lfFaceName[5], u'\0');  // "Arial" is still terminated
}

TEST_F(SettingsFileTest, ExistingFileIsTakenAsItIs)
{
    SettingsRecord stored{};
    applyDefaultSettings(stored, 800);
    stored.autoStart = 7;  // any non-zero flag, and out-of-range numbers, pass unchecked
    stored.cycleSize = -3;
    stored.switchSeconds = 0;
    stored.reservedFlag = 0x12345678;
    ASSERT_TRUE(writeBytes(file_, imageOf(stored)));

    SettingsRecord r{};
    ASSERT_EQ(loadSettingsFile(file_, r, 1920), SettingsLoad::FromFile);
    EXPECT_EQ(imageOf(r), imageOf(stored));
    EXPECT_EQ(readBytes(file_), imageOf(stored));

    // Round trip through a save.
    r.windowX = 321;
    r.dictionaryName[0] = u'Z';
    ASSERT_TRUE(saveSettingsFile(file_, r));
    SettingsRecord again{};
    ASSERT_EQ(loadSettingsFile(file_, again, 1920), SettingsLoad::FromFile);
    EXPECT_EQ(imageOf(again), imageOf(r));
}

TEST_F(SettingsFileTest, ShortFileFillsTheStartAndDefaultsTheRest)
{
    SettingsRecord defaults{};
    applyDefaultSettings(defaults, 1920);
    const Bytes defaultImage = imageOf(defaults);
    for (std::size_t size : {std::size_t{0}, std::size_t{60}, std::size_t{283}}) {
        SCOPED_TRACE(size);
        Bytes content = pattern(size, 3);
        ASSERT_TRUE(writeBytes(file_, content));
        SettingsRecord r;
        std::memset(&r, 0xAB, sizeof r);  // whatever was there before must go
        ASSERT_EQ(loadSettingsFile(file_, r, 1920), SettingsLoad::FromFile);
        Bytes image = imageOf(r);
        Bytes expected = content;
        expected.insert(expected.end(), defaultImage.begin() + static_cast<std::ptrdiff_t>(size), defaultImage.end());
        // Short of the strings' last units, which are always cleared.
        expected[92 + 62] = expected[92 + 63] = 0;
        expected[156 + 126] = expected[156 + 127] = 0;
        EXPECT_EQ(image, expected);
        EXPECT_EQ(readBytes(file_), content) << "loading must not rewrite the file";
    }

    // The 60-byte case in field terms: the fields it holds are the file's,
    // the ones after switchSeconds their defaults, not zeros (a zero font
    // and no dictionary would show nothing readable).
    ASSERT_TRUE(writeBytes(file_, pattern(60, 9)));
    SettingsRecord r{};
    ASSERT_EQ(loadSettingsFile(file_, r, 1920), SettingsLoad::FromFile);
    EXPECT_EQ(static_cast<std::uint32_t>(r.switchSeconds), get32(pattern(60, 9), 56));
    EXPECT_EQ(r.cycleSize, 15);
    EXPECT_EQ(r.font.lfHeight, -16);
    EXPECT_EQ(r.font.lfWeight, 400);
    EXPECT_EQ(std::u16string(r.font.lfFaceName), u"Arial");
    EXPECT_EQ(std::u16string(r.dictionaryName), u"英语四级词汇");

    // An empty file: the defaults throughout, as if there were none (but
    // the file is not rewritten).
    ASSERT_TRUE(writeBytes(file_, {}));
    SettingsRecord empty{};
    ASSERT_EQ(loadSettingsFile(file_, empty, 1920), SettingsLoad::FromFile);
    EXPECT_EQ(imageOf(empty), defaultImage);
    EXPECT_EQ(empty.backgroundColor, 0x00FFFFFFu);
}

TEST_F(SettingsFileTest, LongerFileKeepsItsTailThroughSaves)
{
    Bytes content = pattern(300, 5);
    ASSERT_TRUE(writeBytes(file_, content));
    SettingsRecord r{};
    ASSERT_EQ(loadSettingsFile(file_, r, 1920), SettingsLoad::FromFile);
    Bytes head(content.begin(), content.begin() + 284);
    head[92 + 62] = head[92 + 63] = 0;
    head[156 + 126] = head[156 + 127] = 0;
    EXPECT_EQ(imageOf(r), head);

    r.cycleSize = 25;
    r.dictionaryName[0] = u'\0';
    ASSERT_TRUE(saveSettingsFile(file_, r));
    Bytes after = readBytes(file_);
    ASSERT_EQ(after.size(), 300u);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 284), imageOf(r));
    EXPECT_EQ(Bytes(after.begin() + 284, after.end()), Bytes(content.begin() + 284, content.end()));
}

TEST_F(SettingsFileTest, SaveNeverCreatesOrForcesTheFile)
{
    // Deleted while running: the save does not bring it back.
    SettingsRecord r{};
    ASSERT_EQ(loadSettingsFile(file_, r, 1920), SettingsLoad::DefaultsWritten);
    ASSERT_TRUE(fs::remove(file_));
    r.cycleSize = 40;
    EXPECT_FALSE(saveSettingsFile(file_, r));
    EXPECT_FALSE(fs::exists(file_));

    // Made read-only: the save writes nothing.
    Bytes content = pattern(284, 11);
    ASSERT_TRUE(writeBytes(file_, content));
    fs::permissions(file_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(saveSettingsFile(file_, r));
    EXPECT_EQ(readBytes(file_), content);

    // A read-only file is still read.
    SettingsRecord loaded{};
    EXPECT_EQ(loadSettingsFile(file_, loaded, 1920), SettingsLoad::FromFile);
    EXPECT_EQ(get32(imageOf(loaded), 0), get32(content, 0));
}

TEST_F(SettingsFileTest, UncreatableFileLeavesDefaultsInMemoryOnly)
{
    fs::path missing = dir_ / "no-such-dir" / "mivora.bin";
    SettingsRecord r{};
    EXPECT_EQ(loadSettingsFile(missing, r, 1280), SettingsLoad::DefaultsOnly);
    EXPECT_EQ(imageOf(r), expectedDefaults(1280));
    EXPECT_FALSE(saveSettingsFile(missing, r));
    EXPECT_FALSE(fs::exists(dir_ / "no-such-dir"));

    // A directory in place of the file is no settings file either.
    fs::create_directory(file_);
    SettingsRecord d{};
    EXPECT_EQ(loadSettingsFile(file_, d, 1280), SettingsLoad::DefaultsOnly);
    EXPECT_EQ(imageOf(d), expectedDefaults(1280));
    EXPECT_FALSE(saveSettingsFile(file_, d));
    EXPECT_TRUE(fs::is_directory(file_));
}

TEST_F(SettingsFileTest, StringsFromTheFileAreTerminatedInsideTheirFields)
{
    Bytes content(284, 0);
    for (std::size_t i = 92; i < 156; i += 2) content[i] = 'A';
    for (std::size_t i = 156; i < 284; i += 2) content[i] = 'B';
    ASSERT_TRUE(writeBytes(file_, content));
    SettingsRecord r{};
    ASSERT_EQ(loadSettingsFile(file_, r, 1920), SettingsLoad::FromFile);
    EXPECT_EQ(std::char_traits<char16_t>::length(r.font.lfFaceName), 31u);
    EXPECT_EQ(std::char_traits<char16_t>::length(r.dictionaryName), 63u);
    EXPECT_EQ(r.font.lfFaceName[30], u'A');
    EXPECT_EQ(r.dictionaryName[62], u'B');
    EXPECT_EQ(readBytes(file_), content);
}

TEST_F(SettingsFileTest, PathMustFitTheFixedBuffer)
{
    // 259 units plus the terminator fill the 260-unit buffer exactly.
    fs::path fits = pathOfUnits(259, u"a");
    ASSERT_TRUE(settingsPathFits(fits));
    SettingsRecord r{};
    ASSERT_EQ(loadSettingsFile(fits, r, 1920), SettingsLoad::DefaultsWritten);
    EXPECT_EQ(readBytes(fits).size(), 284u);
    EXPECT_TRUE(saveSettingsFile(fits, r));

    // One unit more: an existing file there is neither read nor overwritten.
    fs::path tooLong = pathOfUnits(260, u"b");
    EXPECT_FALSE(settingsPathFits(tooLong));
    Bytes content = pattern(284, 1);
    ASSERT_TRUE(writeBytes(tooLong, content)) << "the test needs the file to exist";
    SettingsRecord l{};
    EXPECT_EQ(loadSettingsFile(tooLong, l, 1920), SettingsLoad::DefaultsOnly);
    EXPECT_EQ(imageOf(l), expectedDefaults(1920));
    EXPECT_FALSE(saveSettingsFile(tooLong, l));
    EXPECT_EQ(readBytes(tooLong), content);

    // Length is counted in UTF-16 units, not in bytes of the native encoding:
    // CJK characters take three bytes each in UTF-8 but one unit here, and a
    // character outside the BMP takes two units.
    EXPECT_TRUE(settingsPathFits(pathOfUnits(259, u"\u8bcd")));
    EXPECT_FALSE(settingsPathFits(pathOfUnits(260, u"\u8bcd")));
    const std::u16string astral = u"\U0001F600";
    EXPECT_TRUE(settingsPathFits(pathOfUnits(256, u"c") / fs::path(astral)));
    EXPECT_FALSE(settingsPathFits(pathOfUnits(257, u"c") / fs::path(astral)));
}

}  // namespace
