// Where Mivora keeps mivora.bin and DAvud.bin. The program folder, as it
// always was, when Mivora may write there; otherwise a folder of the user's
// own (%APPDATA%\Mivora on Windows), so that a program unpacked under
// C:\Program Files, onto a read-only share or run from inside its zip still
// keeps its progress. Nothing here ever deletes or moves a file of the user.
// An archive program runs an .exe from inside the archive by unpacking it
// into the temporary folder, which it deletes afterwards: that folder can be
// written, but whatever is kept there is gone at the next start.
#pragma once

#include <filesystem>
#include <vector>

struct FilePlace {
    // The executable's folder, where the shipped files (the guide, the
    // shipped word lists) are.
    std::filesystem::path programDir;
    // Where mivora.bin lives; its "dic" holds DAvud.bin.
    std::filesystem::path folder;
    std::filesystem::path dic;
    // The user's folder was chosen because the program folder cannot be
    // written.
    bool perUser = false;
    // The user's folder holds no settings file from an earlier start: this
    // start is the first to keep its files there (the user is told once).
    bool firstUse = false;
    // The program folder is deleted after this run (it lies in the
    // temporary folder): the files are in the user's folder even though the
    // program folder can be written, and nothing may point to the program.
    bool programVanishes = false;
    // Where word lists are looked for, in this order: the user's own "dic"
    // first, so that a list the user put there wins over a shipped one of
    // the same name, then the program's.
    std::vector<std::filesystem::path> dictionaryFolders;
};

// True when a new file can be created in `folder` and deleted again. The
// test file has a name of its own that no file of the user has, and an
// existing file is never touched.
bool canCreateAndDelete(const std::filesystem::path& folder);

// The place for this start. `programFolder` is the executable's folder,
// `userFolder` the user's own (empty when it is unknown). The program folder
// is used when a file can be created and deleted in it and in its "dic" (a
// missing "dic" counts as writable: it is made when needed). Otherwise the
// user's folder and its "dic" are created, and the program folder's
// mivora.bin, mivora.ini and dic\DAvud.bin are copied into them where the user's folder
// has no file of that name yet: a file already there holds the later
// progress (the program folder could not be written since) and is never
// replaced. Without a user's folder the program folder is used regardless.
// `programVanishes`: the program folder is deleted after this run, so the
// user's folder is taken as for one that cannot be written.
// A program folder that is used and holds neither mivora.bin nor
// dic\DAvud.bin (just unpacked) starts from copies of the user's folder's
// files (mivora.ini too, unless the folder has its own): a program that ran from inside its zip and was then unpacked,
// as the user was told to, goes on with its progress.
FilePlace chooseFilePlace(const std::filesystem::path& programFolder, const std::filesystem::path& userFolder,
                          bool programVanishes = false);

// Copies `from` to `to` unless `to` exists: into a temporary file beside
// `to` first, flushed to the disk, then renamed without replacing, so that
// `to` is either absent or complete. False when nothing was copied.
bool copyIfAbsent(const std::filesystem::path& from, const std::filesystem::path& to);
