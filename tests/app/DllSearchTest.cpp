// The entry point's first step: after it, a DLL loaded by bare name comes
// from the system folder only, never from the program's folder or the
// current directory. In an executable of its own, since the change lasts for
// the process.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/DllSearch.h"

namespace fs = std::filesystem;

namespace {

fs::path exeDirectory()
{
    wchar_t buffer[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return fs::path(buffer).parent_path();
}

// Built beside this test in planted\; copied under the names the test loads.
fs::path plantedDll() { return exeDirectory() / L"planted" / L"mivora_planted.dll"; }

class PlantedCopies {
public:
    PlantedCopies()
    {
        // CopyFileW replaces a copy that an earlier, failed run left behind.
        fs::create_directories(cwd_);
        for (const fs::path& copy : {exeDirectory() / L"mivora_planted_before.dll",
                                     exeDirectory() / L"mivora_planted_app.dll", cwd_ / L"mivora_planted_cwd.dll"})
            ok_ = CopyFileW(plantedDll().c_str(), copy.c_str(), FALSE) && ok_;
    }
    bool ok() const { return ok_; }
    ~PlantedCopies()
    {
        std::error_code error;
        SetCurrentDirectoryW(exeDirectory().c_str());
        fs::remove(exeDirectory() / L"mivora_planted_before.dll", error);
        fs::remove(exeDirectory() / L"mivora_planted_app.dll", error);
        fs::remove_all(cwd_, error);
    }
    const fs::path& cwd() const { return cwd_; }

private:
    fs::path cwd_ = exeDirectory() / L"planted-cwd";
    bool ok_ = true;
};

TEST(DllSearch, ByNameOnlyFromTheSystemFolder)
{
    ASSERT_TRUE(fs::exists(plantedDll()));
    PlantedCopies copies;
    ASSERT_TRUE(copies.ok());
    ASSERT_TRUE(SetCurrentDirectoryW(copies.cwd().c_str()));

    // As every program starts: the program's folder is searched.
    HMODULE before = LoadLibraryW(L"mivora_planted_before.dll");
    ASSERT_NE(before, nullptr) << "the default search should find a DLL beside the program";
    FreeLibrary(before);

    restrictDllSearch();

    for (const wchar_t* planted : {L"mivora_planted_app.dll", L"mivora_planted_cwd.dll"}) {
        HMODULE loaded = LoadLibraryW(planted);
        EXPECT_EQ(loaded, nullptr) << "loaded by name: " << fs::path(planted).string();
        if (loaded != nullptr) FreeLibrary(loaded);  // so that the copy can be deleted
    }
    // System DLLs and full paths still load.
    HMODULE system = LoadLibraryW(L"version.dll");
    EXPECT_NE(system, nullptr);
    if (system != nullptr) FreeLibrary(system);
    HMODULE full = LoadLibraryW((copies.cwd() / L"mivora_planted_cwd.dll").c_str());
    ASSERT_NE(full, nullptr);
    EXPECT_NE(GetProcAddress(full, "plantedMarker"), nullptr);
    FreeLibrary(full);
}

}  // namespace
