#include "store/files/FilePlace.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "store/files/FileNames.h"
#include "store/files/FileReplace.h"

namespace {

constexpr char16_t kSettingsName[] = u"mivora.bin";
// The settings mivora.bin has no room for (the voice, the hotkeys).
constexpr char16_t kMoreSettingsName[] = u"mivora.ini";
// A copy in the making; a crash may leave one, which the next copy removes
// and nothing ever reads.
constexpr char16_t kCopyExtension[] = u".copying";

std::filesystem::path named(const std::filesystem::path& folder, std::u16string_view name,
                            std::u16string_view extension = u"")
{
    std::filesystem::path file;
    if (!makeFileName(name, extension, file)) return {};
    return folder / file;
}

bool isFolder(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error) && !error;
}

bool present(const std::filesystem::path& path)
{
    std::error_code error;
    // An error (no permission to look) counts as there: nothing is written
    // over what cannot be seen.
    return std::filesystem::exists(path, error) || error;
}

}  // namespace

bool canCreateAndDelete(const std::filesystem::path& folder)
{
    if (folder.empty() || !isFolder(folder)) return false;
    // A name no user picks, made different at every try by the clock.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::u16string name = u".mivora-write-test-";
        for (char c : std::to_string(stamp + attempt)) name.push_back(static_cast<char16_t>(c));
        const std::filesystem::path probe = named(folder, name);
        if (probe.empty()) return false;
        if (present(probe)) continue;
        {
            UniqueFile file{openFile(probe, "wb")};
            if (!file) return false;
        }
        return removeFile(probe);
    }
    return false;
}

bool copyIfAbsent(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (present(to) || !present(from)) return false;
    const std::filesystem::path copy = named(to.parent_path(), to.filename().u16string(), kCopyExtension);
    if (copy.empty() || !removeFile(copy)) return false;
    bool ok = false;
    {
        UniqueFile source{openFile(from, "rb")};
        UniqueFile target{source ? openFile(copy, "wb") : nullptr};
        if (target) {
            char buffer[1 << 16];
            ok = true;
            for (;;) {
                const std::size_t got = std::fread(buffer, 1, sizeof buffer, source.get());
                if (got > 0 && std::fwrite(buffer, 1, got, target.get()) != got) {
                    ok = false;
                    break;
                }
                if (got < sizeof buffer) {
                    ok = !std::ferror(source.get());
                    break;
                }
            }
            ok = ok && flushToDisk(target.get());
            ok = std::fclose(target.release()) == 0 && ok;
        }
    }
    ok = ok && renameNoReplace(copy, to);
    if (!ok) removeFile(copy);
    return ok;
}

FilePlace chooseFilePlace(const std::filesystem::path& programFolder, const std::filesystem::path& userFolder,
                          bool programVanishes)
{
    FilePlace place;
    place.programDir = programFolder;
    place.programVanishes = programVanishes;
    const std::filesystem::path programDic = programFolder.empty() ? programFolder : programFolder / "dic";
    const std::filesystem::path userDic = userFolder.empty() ? userFolder : userFolder / "dic";
    const bool programWritable = !programVanishes && canCreateAndDelete(programFolder) &&
                                 (!present(programDic) || canCreateAndDelete(programDic));
    if (!userFolder.empty()) place.dictionaryFolders.push_back(userDic);
    // The program living in the user's folder itself has one dic, not two.
    if (!programDic.empty() && (userDic.empty() || programDic.lexically_normal() != userDic.lexically_normal()))
        place.dictionaryFolders.push_back(programDic);

    if (programWritable || userFolder.empty()) {
        place.folder = programFolder;
        place.dic = programDic;
        const std::filesystem::path settings = named(programFolder, kSettingsName);
        const std::filesystem::path progress = named(programDic, kProgressFileName);
        if (programWritable && !present(settings) && !present(progress) && !userFolder.empty()) {
            std::error_code error;
            std::filesystem::create_directories(programDic, error);
            copyIfAbsent(named(userFolder, kSettingsName), settings);
            copyIfAbsent(named(userFolder, kMoreSettingsName), named(programFolder, kMoreSettingsName));
            copyIfAbsent(named(userDic, kProgressFileName), progress);
        }
        return place;
    }
    std::error_code error;
    std::filesystem::create_directories(userDic, error);
    // Neither place can be written: the program folder's files are at least
    // read, and the saves that fail are told.
    if (!isFolder(userDic)) {
        place.folder = programFolder;
        place.dic = programDic;
        return place;
    }
    place.folder = userFolder;
    place.dic = userDic;
    place.perUser = true;
    const std::filesystem::path settings = named(userFolder, kSettingsName);
    place.firstUse = !present(settings);
    if (!programFolder.empty()) {
        copyIfAbsent(named(programFolder, kSettingsName), settings);
        copyIfAbsent(named(programFolder, kMoreSettingsName), named(userFolder, kMoreSettingsName));
        copyIfAbsent(named(programDic, kProgressFileName), named(userDic, kProgressFileName));
    }
    return place;
}
