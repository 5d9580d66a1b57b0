// What the user is told about where the files are and about saves that
// failed. The FileNotices object holds the whole policy: a failed save is
// told in a balloon while the program runs (once, until a save of the same
// file succeeds again), by a question at exit that lets the user retry,
// and, at the end of a Windows session when there is no time to ask, by a
// notice kept for the next start.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "app/Tray.h"
#include "store/WordGet.h"
#include "store/files/FilePlace.h"

// %APPDATA%\Mivora (the roaming application-data folder, where Windows
// keeps per-user data), or empty when the shell cannot name it.
std::filesystem::path userFilesFolder();

// The files a save writes: mivora.bin, DAvud.bin and mivora.ini (whose
// settings are "设置" to the user as well).
enum class SavedFile { settings, progress, moreSettings };

constexpr wchar_t kExitQuestionTitle[] = L"Mivora 没能保存";

// A save at the end of a Windows session failed: the notice is kept in
// HKCU\Software\Mivora (value kSessionEndNotice) and shown at the next
// start, which removes it.
constexpr wchar_t kNoticeKeyPath[] = L"Software\\Mivora";
constexpr wchar_t kSessionEndNotice[] = L"UnsavedAtSessionEnd";

class FileNotices {
public:
    // The files are those of `place`; the progress file's size comes from
    // `store`; balloons go through `tray`.
    FileNotices(const FilePlace& place, const WordGet& store, Tray& tray) : place_(place), store_(store), tray_(tray) {}
    FileNotices(const FileNotices&) = delete;
    FileNotices& operator=(const FileNotices&) = delete;

    // At start, once the icon is there: a failure kept at the end of the
    // last session, and the user's own folder chosen for the first time.
    void tellStartNotices();
    // This start found no settings file: the program is new to the user,
    // and tellStartNotices greets them.
    void setFirstStart(bool firstStart) { firstStart_ = firstStart; }

    // The outcome of a save while the program runs.
    void reportSave(SavedFile file, bool saved);

    // A progress file that stayed unreadable (another PC's save damaged on
    // the way) was kept under another name and the progress written anew.
    void tellProgressPutAside();

    // Review answers have waited a while to be written to the review log
    // (held by another program, or the folder not writable): they are kept
    // and written as soon as the file can be.
    void tellReviewAnswersUnwritten();

    // At an ordinary exit, for the saves that failed: asks whether to retry
    // (重试, once the file is free or the disk has room) or to end without
    // saving (取消). True for 重试.
    // mivora.bin and mivora.ini are both "设置": the question names the one
    // that failed (mivora.bin when both did).
    bool askToRetryAtExit(bool settingsFailed, bool progressFailed, bool moreSettingsFailed = false) const;

    // At the end of a Windows session, for the saves that failed: what was
    // not saved and where, kept for the next start (no time to look for
    // why). Nothing is kept when both were saved.
    void keepForNextStart(bool settingsSaved, bool progressSaved, bool moreSettingsSaved = true) const;

private:
    std::filesystem::path savedPath(SavedFile file) const;
    // Why writing `file` fails, in a few words, found by looking at it.
    std::wstring failureReason(SavedFile file) const;

    const FilePlace& place_;
    bool firstStart_ = false;
    const WordGet& store_;
    Tray& tray_;
    bool failureTold_[3] = {};
};
