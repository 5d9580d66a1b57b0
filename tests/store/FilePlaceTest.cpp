// The choice of the place for mivora.bin and DAvud.bin: the program folder
// when it can be written, the user's folder otherwise, with the program
// folder's files copied once and never moved; and the order in which word
// lists are looked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "store/files/FilePlace.h"
#include "StoreTestSupport.h"
#include "store/WordGet.h"

namespace {

namespace fs = std::filesystem;
using storetest::TempDir;

std::optional<std::string> contentOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// Every file under `folder` with its content, by relative path.
std::vector<std::pair<std::string, std::string>> snapshot(const fs::path& folder)
{
    std::vector<std::pair<std::string, std::string>> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        files.emplace_back(fs::relative(entry.path(), folder).generic_string(), *contentOf(entry.path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A folder nobody may write, not even root: immutable where the file system
// allows it, else without write permission. Undone by its destructor.
class Unwritable {
public:
    explicit Unwritable(const fs::path& folder) : folder_(folder)
    {
#if !defined(_WIN32)
        if (geteuid() == 0) {
            const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags |= FS_IMMUTABLE_FL;
                immutable_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            }
            if (fd >= 0) close(fd);
        } else {
            moded_ = chmod(folder.c_str(), 0555) == 0;
        }
#endif
    }
    ~Unwritable()
    {
#if !defined(_WIN32)
        if (immutable_) {
            const int fd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0) close(fd);
        }
        if (moded_) chmod(folder_.c_str(), 0755);
#endif
    }
    Unwritable(const Unwritable&) = delete;
    Unwritable& operator=(const Unwritable&) = delete;
    bool active() const { return immutable_ || moded_; }

private:
    fs::path folder_;
    bool immutable_ = false;
    bool moded_ = false;
};

enum class Locked { none, folder, dicOnly };

struct PlaceCase {
    const char* name;
    Locked locked;
    // Files laid out before the choice (nullptr: none).
    const char* programSettings;
    const char* programProgress;
    const char* userSettings;
    const char* userProgress;
    bool userFolderKnown;
    // Expected.
    bool perUser;
    bool firstUse;
    const char* settingsAfter;  // in the chosen folder (nullptr: none)
    const char* progressAfter;
};

const PlaceCase kPlaceCases[] = {
    {"writable", Locked::none, "S-prog", "P-prog", nullptr, nullptr, true, false, false, "S-prog", "P-prog"},
    {"writable_files_in_both", Locked::none, "S-prog", "P-prog", "S-user", "P-user", true, false, false, "S-prog",
     "P-prog"},
    {"unwritable_first_time", Locked::folder, "S-prog", "P-prog", nullptr, nullptr, true, true, true, "S-prog",
     "P-prog"},
    {"unwritable_first_run_no_files", Locked::folder, nullptr, nullptr, nullptr, nullptr, true, true, true, nullptr,
     nullptr},
    {"unwritable_files_in_both", Locked::folder, "S-prog", "P-prog", "S-user", "P-user", true, true, false, "S-user",
     "P-user"},
    {"unwritable_progress_only_in_user_folder", Locked::folder, "S-prog", "P-prog", "S-user", nullptr, true, true,
     false, "S-user", "P-prog"},
    {"unwritable_dic_only", Locked::dicOnly, "S-prog", "P-prog", nullptr, nullptr, true, true, true, "S-prog",
     "P-prog"},
    {"unwritable_without_user_folder", Locked::folder, "S-prog", "P-prog", nullptr, nullptr, false, false, false,
     "S-prog", "P-prog"},
};

class FilePlaceTable : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(FilePlaceTable, ChoosesThePlaceAndCopiesOnlyWhatIsMissing)
{
    const PlaceCase& c = GetParam();
    TempDir root;
    const fs::path program = root.path() / "program";
    const fs::path user = root.path() / "roaming" / "Mivora";
    fs::create_directories(program / "dic");
    put(program / "dic" / "shipped.txt", "list");
    if (c.programSettings) put(program / "mivora.bin", c.programSettings);
    if (c.programProgress) put(program / "dic" / "DAvud.bin", c.programProgress);
    if (c.userSettings) put(user / "mivora.bin", c.userSettings);
    if (c.userProgress) put(user / "dic" / "DAvud.bin", c.userProgress);
    const auto programBefore = snapshot(program);
    const auto userBefore = snapshot(user);

    std::optional<Unwritable> lockDic;
    std::optional<Unwritable> lockFolder;
    if (c.locked != Locked::none) {
#if defined(_WIN32)
        GTEST_SKIP() << "no folder can be made unwritable here; the native run and the end-to-end scenario cover it";
#endif
        lockDic.emplace(program / "dic");
        if (c.locked == Locked::folder) lockFolder.emplace(program);
        if (!lockDic->active()) GTEST_SKIP() << "this file system cannot make a folder unwritable";
        ASSERT_FALSE(canCreateAndDelete(program / "dic"));
    }

    const FilePlace place = chooseFilePlace(program, c.userFolderKnown ? user : fs::path());

    EXPECT_EQ(place.perUser, c.perUser);
    EXPECT_EQ(place.firstUse, c.firstUse);
    EXPECT_EQ(place.folder, c.perUser ? user : program);
    EXPECT_EQ(place.dic, place.folder / "dic");
    const auto expectFile = [](const fs::path& file, const char* expected) {
        if (expected == nullptr)
            EXPECT_FALSE(fs::exists(file)) << file;
        else
            EXPECT_EQ(contentOf(file), std::optional<std::string>(expected)) << file;
    };
    expectFile(place.folder / "mivora.bin", c.settingsAfter);
    expectFile(place.dic / "DAvud.bin", c.progressAfter);
    // Nothing of the program folder is ever changed, moved or deleted, and
    // the user's folder is touched only when it is chosen.
    EXPECT_EQ(snapshot(program), programBefore);
    if (!c.perUser) {
        EXPECT_EQ(snapshot(user), userBefore);
    }
    if (c.perUser) {
        for (const auto& [name, bytes] : snapshot(user))
            EXPECT_EQ(name.find(".copying"), std::string::npos) << "a copy left half-made: " << name;
    }

    // Word lists: the user's dic first, then the program's.
    if (c.userFolderKnown) {
        ASSERT_EQ(place.dictionaryFolders.size(), 2u);
        EXPECT_EQ(place.dictionaryFolders[0], user / "dic");
        EXPECT_EQ(place.dictionaryFolders[1], program / "dic");
    } else {
        EXPECT_EQ(place.dictionaryFolders, std::vector<fs::path>{program / "dic"});
    }
}

INSTANTIATE_TEST_SUITE_P(Places, FilePlaceTable, ::testing::ValuesIn(kPlaceCases),
                         [](const ::testing::TestParamInfo<PlaceCase>& info) { return std::string(info.param.name); });

// Run from inside an archive: unpacked into a writable folder that is
// deleted after the run, and into another one at the next.
TEST(FilePlace, AProgramThatVanishesKeepsItsFilesInTheUsersFolder)
{
    TempDir root;
    const fs::path user = root.path() / "roaming" / "Mivora";
    const auto unpack = [&](const char* name, bool withFiles) {
        const fs::path program = root.path() / "Temp" / name;
        put(program / "dic" / "shipped.txt", "list");
        if (withFiles) {
            put(program / "mivora.bin", "S-zip");
            put(program / "mivora.ini", "I-zip");
            put(program / "dic" / "DAvud.bin", "P-zip");
        }
        return program;
    };

    const fs::path first = unpack("Rar$EXa1.2", true);
    const auto firstBefore = snapshot(first);
    FilePlace place = chooseFilePlace(first, user, true);
    EXPECT_TRUE(place.programVanishes);
    EXPECT_TRUE(place.perUser);
    EXPECT_TRUE(place.firstUse);
    EXPECT_EQ(place.folder, user);
    EXPECT_EQ(place.dic, user / "dic");
    EXPECT_EQ(contentOf(user / "mivora.bin"), std::optional<std::string>("S-zip"));
    EXPECT_EQ(contentOf(user / "dic" / "DAvud.bin"), std::optional<std::string>("P-zip"));
    EXPECT_EQ(contentOf(user / "mivora.ini"), std::optional<std::string>("I-zip"));
    EXPECT_EQ(snapshot(first), firstBefore);
    // The archive's own lists are still read.
    EXPECT_EQ(place.dictionaryFolders, (std::vector<fs::path>{user / "dic", first / "dic"}));

    // The next run, from a fresh folder: the progress kept is the user's.
    put(user / "dic" / "DAvud.bin", "P-studied");
    const fs::path second = unpack("7zO3F2A", false);
    place = chooseFilePlace(second, user, true);
    EXPECT_TRUE(place.perUser);
    EXPECT_FALSE(place.firstUse);
    EXPECT_EQ(place.folder, user);
    EXPECT_EQ(contentOf(user / "dic" / "DAvud.bin"), std::optional<std::string>("P-studied"));
    EXPECT_FALSE(fs::exists(second / "mivora.bin"));
    EXPECT_FALSE(fs::exists(second / "dic" / "DAvud.bin"));

    // Without a user's folder there is nowhere else.
    place = chooseFilePlace(second, fs::path(), true);
    EXPECT_FALSE(place.perUser);
    EXPECT_EQ(place.folder, second);
}

// The user did as the balloon said and unpacked the zip: the new folder
// goes on from the progress kept in the user's folder, which stays as it
// is. A folder that has either file of its own takes nothing.
TEST(FilePlace, AJustUnpackedProgramFolderStartsFromTheUsersFiles)
{
    TempDir root;
    const fs::path user = root.path() / "roaming" / "Mivora";
    put(user / "mivora.bin", "S-user");
    put(user / "dic" / "DAvud.bin", "P-user");
    put(user / "mivora.ini", "I-user");
    const auto userBefore = snapshot(user);

    const fs::path fresh = root.path() / "fresh";
    fs::create_directories(fresh);
    FilePlace place = chooseFilePlace(fresh, user);
    EXPECT_FALSE(place.perUser);
    EXPECT_EQ(place.folder, fresh);
    EXPECT_EQ(contentOf(fresh / "mivora.bin"), std::optional<std::string>("S-user"));
    EXPECT_EQ(contentOf(fresh / "mivora.ini"), std::optional<std::string>("I-user"));
    EXPECT_EQ(contentOf(fresh / "dic" / "DAvud.bin"), std::optional<std::string>("P-user"));
    EXPECT_EQ(snapshot(user), userBefore);

    // A mivora.ini shipped in the archive is the one kept.
    const fs::path shipped = root.path() / "shipped";
    put(shipped / "mivora.ini", "I-shipped");
    place = chooseFilePlace(shipped, user);
    EXPECT_EQ(contentOf(shipped / "mivora.ini"), std::optional<std::string>("I-shipped"));
    EXPECT_EQ(contentOf(shipped / "mivora.bin"), std::optional<std::string>("S-user"));

    const fs::path settingsOnly = root.path() / "settings-only";
    put(settingsOnly / "mivora.bin", "S-own");
    place = chooseFilePlace(settingsOnly, user);
    EXPECT_EQ(place.folder, settingsOnly);
    EXPECT_EQ(contentOf(settingsOnly / "mivora.bin"), std::optional<std::string>("S-own"));
    EXPECT_FALSE(fs::exists(settingsOnly / "dic" / "DAvud.bin"));

    const fs::path progressOnly = root.path() / "progress-only";
    put(progressOnly / "dic" / "DAvud.bin", "P-own");
    place = chooseFilePlace(progressOnly, user);
    EXPECT_FALSE(fs::exists(progressOnly / "mivora.bin"));
    EXPECT_EQ(contentOf(progressOnly / "dic" / "DAvud.bin"), std::optional<std::string>("P-own"));
}

TEST(FilePlace, TheProgramLivingInTheUserFolderHasOneDictionaryFolder)
{
    TempDir root;
    fs::create_directories(root.path() / "dic");
    const FilePlace place = chooseFilePlace(root.path(), root.path());
    EXPECT_FALSE(place.perUser);
    EXPECT_EQ(place.dictionaryFolders, std::vector<fs::path>{root.path() / "dic"});
}

TEST(FilePlace, ProbeLeavesNothingBehindAndFailsOnAMissingFolder)
{
    TempDir root;
    put(root / "mine.txt", "x");
    EXPECT_TRUE(canCreateAndDelete(root.path()));
    EXPECT_EQ(snapshot(root.path()).size(), 1u);
    EXPECT_FALSE(canCreateAndDelete(root / "absent"));
    EXPECT_FALSE(canCreateAndDelete(root / "mine.txt"));
    EXPECT_FALSE(canCreateAndDelete(fs::path()));
}

TEST(FilePlace, CopyNeverReplacesAndCleansAnOldHalfCopy)
{
    TempDir root;
    put(root / "from.bin", std::string(200000, 'a'));
    put(root / "to.bin.copying", "left by a crash");
    EXPECT_TRUE(copyIfAbsent(root / "from.bin", root / "to.bin"));
    EXPECT_EQ(contentOf(root / "to.bin"), std::optional<std::string>(std::string(200000, 'a')));
    EXPECT_FALSE(fs::exists(root / "to.bin.copying"));

    put(root / "from.bin", "newer");
    EXPECT_FALSE(copyIfAbsent(root / "from.bin", root / "to.bin"));
    EXPECT_EQ(contentOf(root / "to.bin")->size(), 200000u);
    EXPECT_FALSE(copyIfAbsent(root / "absent.bin", root / "other.bin"));
    EXPECT_FALSE(fs::exists(root / "other.bin"));
}

// A list of the same name in both folders comes from the first folder; a
// list only in the second is still found.
TEST(FilePlace, DictionaryFoldersAreSearchedInOrder)
{
    TempDir root;
    put(root / "user" / "same.txt", storetest::utf16le(u"\uFEFFuserword||mine\r\n"));
    put(root / "program" / "same.txt", storetest::utf16le(u"\uFEFFshipped||theirs\r\n"));
    put(root / "program" / "only.txt", storetest::utf16le(u"\uFEFFonlyword||x\r\n"));
    WordGet store;
    store.setDictionaryDirectories({root / "user", root / "program"});
    store.loadDictionary(u"same");
    EXPECT_EQ(store.cycleEndWord(), u"userword");
    store.loadDictionary(u"only");
    EXPECT_EQ(store.cycleEndWord(), u"onlyword");
}

}  // namespace
