// A progress file held open for a moment by another program (a virus scan
// on close, the search indexer, OneDrive, a backup) while it is saved.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "StoreTestSupport.h"

using namespace storetest;

namespace {

// A store of x, y, z saved once on `dir`, then changed, so the next save
// writes again.
struct ChangedStore {
    explicit ChangedStore(const TempDir& dir)
    {
        writeBytes(dir / "words.txt", utf16le(u"x|p|c\r\ny|p|c\r\nz|p|c\r\n"));
        store.setDirectory(dir.path());
        store.loadProgress(u"words");
        EXPECT_TRUE(store.saveProgress());
        saved = readBytes(dir / "DAvud.bin");
        store.setRemembered(store.entries(WordList::learning).at(0), true);
    }
    WordGet store;
    std::string saved;
};

// Opens `file` as those programs do: reading, without delete sharing.
HANDLE holdWithoutDeleteSharing(const fs::path& file)
{
    return CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TEST(BriefLock, TheHoldIsOneThatMakesAReplaceFail)
{
    TempDir dir;
    writeBytes(dir / "target", "old");
    writeBytes(dir / "source", "new");
    HANDLE held = holdWithoutDeleteSharing(dir / "target");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // What the save meets: without trying again, the replace fails.
    EXPECT_FALSE(MoveFileExW((dir / "source").c_str(), (dir / "target").c_str(), MOVEFILE_REPLACE_EXISTING));
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
    CloseHandle(held);
}

TEST(BriefLock, AFileHeldFor200MsIsSaved)
{
    TempDir dir;
    ChangedStore changed(dir);
    HANDLE held = holdWithoutDeleteSharing(dir / "DAvud.bin");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::atomic<bool> released{false};
    std::thread holder([&] {
        Sleep(200);
        released = true;
        CloseHandle(held);
    });
    const bool saved = changed.store.saveProgress();
    const bool releasedBeforeTheEnd = released.load();
    holder.join();
    EXPECT_TRUE(saved);
    EXPECT_TRUE(releasedBeforeTheEnd);
    EXPECT_NE(readBytes(dir / "DAvud.bin"), changed.saved);
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
    EXPECT_FALSE(changed.store.dirty());
}

TEST(BriefLock, AFileHeldLongerIsLeftAsItWasAndTheSaveFails)
{
    TempDir dir;
    ChangedStore changed(dir);
    HANDLE held = holdWithoutDeleteSharing(dir / "DAvud.bin");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(changed.store.saveProgress());
    CloseHandle(held);
    EXPECT_EQ(readBytes(dir / "DAvud.bin"), changed.saved);
    EXPECT_FALSE(fs::exists(dir / "DAvud.bin.tmp"));
    EXPECT_TRUE(changed.store.dirty());
}
