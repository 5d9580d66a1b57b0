// The entry point's first step: after it, a DLL loaded by bare name comes
// from the system folder only, never from the program's folder or the
// current directory. In an executable of its own, since the change lasts for
// the process.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/Shell.h"

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
        fs::copy_file(plantedDll(), exeDirectory() / L"mivora_planted_before.dll", fs::copy_options::overwrite_existing);
        fs::copy_file(plantedDll(), exeDirectory() / L"mivora_planted_app.dll", fs::copy_options::overwrite_existing);
        fs::create_directories(cwd_);
        fs::copy_file(plantedDll(), cwd_ / L"mivora_planted_cwd.dll", fs::copy_options::overwrite_existing);
    }
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
};

TEST(DllSearch, ByNameOnlyFromTheSystemFolder)
{
    ASSERT_TRUE(fs::exists(plantedDll()));
    PlantedCopies copies;
    ASSERT_TRUE(SetCurrentDirectoryW(copies.cwd().c_str()));

    // As every program starts: the program's folder is searched.
    HMODULE before = LoadLibraryW(L"mivora_planted_before.dll");
    ASSERT_NE(before, nullptr) << "the default search should find a DLL beside the program";
    FreeLibrary(before);

    restrictDllSearch();

    EXPECT_EQ(LoadLibraryW(L"mivora_planted_app.dll"), nullptr) << "loaded from the program's folder";
    EXPECT_EQ(LoadLibraryW(L"mivora_planted_cwd.dll"), nullptr) << "loaded from the current directory";
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
