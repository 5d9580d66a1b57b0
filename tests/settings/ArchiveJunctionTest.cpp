// A program unpacked by an archive program into a folder outside %TEMP%
// (7-Zip or WinRAR set to unpack elsewhere) and started through a junction
// whose own name says nothing: the folder the file system finally names
// tells that it runs from inside an archive.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Settings.h"

namespace {

// A junction at `link` to the folder `target` (a full path), as mklink /J
// makes one. False where the file system makes none.
bool makeJunction(const std::wstring& link, const std::wstring& target)
{
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    bool made = false;
    HANDLE opened = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened != INVALID_HANDLE_VALUE) {
        // The mount point form of REPARSE_DATA_BUFFER, which the SDK declares
        // for drivers only: tag, data length, reserved, then the offsets and
        // lengths (in bytes) of the substitute and print names, both ended
        // by a null.
        const std::wstring substitute = L"\\??\\" + target;
        const std::size_t pathBytes = (substitute.size() + 1 + target.size() + 1) * sizeof(wchar_t);
        std::vector<unsigned char> buffer(8 + 8 + pathBytes);
        const auto put16 = [&](std::size_t at, std::size_t value) {
            const WORD v = static_cast<WORD>(value);
            std::memcpy(buffer.data() + at, &v, sizeof v);
        };
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        std::memcpy(buffer.data(), &tag, sizeof tag);
        put16(4, 8 + pathBytes);
        put16(8, 0);
        put16(10, substitute.size() * sizeof(wchar_t));
        put16(12, (substitute.size() + 1) * sizeof(wchar_t));
        put16(14, target.size() * sizeof(wchar_t));
        std::memcpy(buffer.data() + 16, substitute.c_str(), (substitute.size() + 1) * sizeof(wchar_t));
        std::memcpy(buffer.data() + 16 + (substitute.size() + 1) * sizeof(wchar_t), target.c_str(),
                    (target.size() + 1) * sizeof(wchar_t));
        DWORD returned = 0;
        made = DeviceIoControl(opened, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                               nullptr, 0, &returned, nullptr) != FALSE;
        CloseHandle(opened);
    }
    if (!made) RemoveDirectoryW(link.c_str());
    return made;
}

[[maybe_unused]] std::wstring currentFolder()
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    return length != 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

}  // namespace

TEST(ArchiveFolder, IsKnownThroughAJunctionOutsideTheTemporaryFolder)
{
#ifdef MIVORA_ARCHIVE_LINK_FOLDER
    // Under Wine, which makes no junctions, the test command has put a
    // symbolic link of the host's file system there: Wine follows it when a
    // path through it is opened, as Windows follows a junction.
    std::wstring base = MIVORA_ARCHIVE_LINK_FOLDER;
    std::replace(base.begin(), base.end(), L'/', L'\\');
#else
    const std::wstring base = currentFolder() + L"\\archive-junction";
#endif
    const std::wstring target = base + L"\\Rar$EXa2816.41203";
    const std::wstring unpacked = target + L"\\Mivora 词汇";
    const std::wstring link = base + L"\\Mivora";
    for (const std::wstring& folder : {base, target, unpacked})
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) << folder;
    bool madeHere = false;
    if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
        madeHere = makeJunction(link, target);
        ASSERT_TRUE(madeHere) << "no junction could be made";
    }
    ASSERT_FALSE(insideTemporaryFolder(link + L"\\Mivora 词汇")) << "the folder must lie outside %TEMP%";

    const struct {
        std::wstring folder;
        bool archive;
    } cases[] = {
        {link + L"\\Mivora 词汇", true},
        {link, true},
        {unpacked, true},
        {base, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(runsFromArchive(cases[i].folder), cases[i].archive) << "case " << i;

    if (madeHere) RemoveDirectoryW(link.c_str());
    RemoveDirectoryW(unpacked.c_str());
}
