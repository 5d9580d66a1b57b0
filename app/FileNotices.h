// What the user is told about where the files are and about saves that
// failed: the user's own folder, the few words that say why a save failed,
// the texts of the balloons and of the question at exit, and the notice
// that a save at the end of a Windows session failed, kept for the next
// start.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

// %APPDATA%\Mivora (the roaming application-data folder, where Windows
// keeps per-user data), or empty when the shell cannot name it.
std::filesystem::path userFilesFolder();

// Why writing `file` fails, in a few words, found by looking at it after the
// failure: its folder missing, too little space for `bytesNeeded`, the file
// held open by another program, no permission, or a plain write error.
std::wstring saveFailureReason(const std::filesystem::path& file, std::uintmax_t bytesNeeded);

// The files a save writes, for the texts: mivora.bin, DAvud.bin and
// mivora.ini (whose settings are settings to the user as well).
enum class SavedFile { settings, progress, moreSettings };
const wchar_t* savedFileName(SavedFile file);  // "设置", "学习进度", "设置"

// A balloon: a title and a text cut to the sizes the notification area
// holds (64 and 256 units with their terminators).
struct Notice {
    std::wstring title;
    std::wstring text;
};
// `path` shortened in its middle so that `text` with it fits a balloon.
std::wstring shortenedPath(const std::wstring& path, std::size_t units);
Notice failedSaveNotice(SavedFile file, const std::filesystem::path& path, const std::wstring& reason);
Notice userFolderNotice(const std::filesystem::path& folder);
constexpr wchar_t kExitQuestionTitle[] = L"Mivora 没能保存";
// The text of the question at exit, for the saves that failed.
std::wstring exitQuestion(bool settingsFailed, const std::filesystem::path& settingsPath,
                          const std::wstring& settingsReason, bool progressFailed,
                          const std::filesystem::path& progressPath, const std::wstring& progressReason);

// A save at the end of a Windows session failed: there is no time to ask,
// so the notice is kept in HKCU\Software\Mivora (value kSessionEndNotice)
// and shown at the next start, which removes it.
constexpr wchar_t kNoticeKeyPath[] = L"Software\\Mivora";
constexpr wchar_t kSessionEndNotice[] = L"UnsavedAtSessionEnd";
void keepSessionEndNotice(const std::wstring& text);
// The kept notice's text, removed from the registry; empty when none.
std::wstring takeSessionEndNotice();
// The text kept for the saves that failed at the end of a session.
std::wstring sessionEndText(SavedFile file, const std::filesystem::path& path, const std::wstring& reason);
Notice sessionEndNotice(const std::wstring& keptText);
