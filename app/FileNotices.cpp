#include "app/FileNotices.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <system_error>

#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "store/review/ReviewLog.h"
#include "win/Handles.h"

namespace {

constexpr std::size_t kTitleUnits = 63;  // NOTIFYICONDATAW::szInfoTitle without its terminator
constexpr std::size_t kTextUnits = 255;  // NOTIFYICONDATAW::szInfo without its terminator
// Room kept beyond the bytes a save writes: the file system's own needs.
constexpr std::uintmax_t kSpareBytes = 64 * 1024;

// A balloon: a title and a text cut to the sizes the notification area
// holds.
struct Notice {
    std::wstring title;
    std::wstring text;
};

std::wstring cut(std::wstring text, std::size_t units)
{
    if (text.size() > units) text.resize(units);
    return text;
}

// `path` shortened in its middle to `units`.
std::wstring shortenedPath(const std::wstring& path, std::size_t units)
{
    if (path.size() <= units) return path;
    if (units < 8) return cut(path, units);
    // The drive and the file name tell the most; the middle goes.
    const std::size_t head = (units - 1) / 3;
    const std::size_t tail = units - 1 - head;
    return path.substr(0, head) + L"…" + path.substr(path.size() - tail);
}

// The text with "%PATH%" replaced by `path`, shortened so that the whole
// fits `units`.
std::wstring withPath(const std::wstring& text, const std::wstring& path, std::size_t units)
{
    const std::size_t at = text.find(L"%PATH%");
    if (at == std::wstring::npos) return cut(text, units);
    const std::size_t rest = text.size() - 6;
    const std::size_t room = units > rest ? units - rest : 0;
    return cut(text.substr(0, at) + shortenedPath(path, room) + text.substr(at + 6), units);
}

// Why writing `file` fails, in a few words, found by looking at it after the
// failure: its folder missing, too little space for `bytesNeeded`, the file
// held open by another program, no permission, or a plain write error.
std::wstring saveFailureReason(const std::filesystem::path& file, std::uintmax_t bytesNeeded)
{
    const std::filesystem::path folder = file.parent_path();
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return L"文件夹不存在";
    ULARGE_INTEGER freeToCaller{};
    if (GetDiskFreeSpaceExW(folder.c_str(), &freeToCaller, nullptr, nullptr) &&
        freeToCaller.QuadPart < bytesNeeded + kSpareBytes)
        return L"磁盘空间不足";
    if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // Opened the way a save needs it and closed at once: nothing in the
        // file changes (no truncation with OPEN_EXISTING).
        HANDLE handle =
            CreateFileW(file.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return L"文件正被其他程序占用";
            if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) return L"没有写入权限";
        } else {
            CloseHandle(handle);
        }
    }
    if (!canCreateAndDelete(folder)) return L"文件夹不能写入";
    return L"写入时出错";
}

// "设置", "学习进度"
const wchar_t* savedFileName(SavedFile file)
{
    return file == SavedFile::progress ? L"学习进度" : L"设置";
}

Notice failedSaveNotice(SavedFile file, const std::filesystem::path& path, const std::wstring& reason)
{
    Notice notice;
    notice.title = cut(std::wstring(savedFileName(file)) + L"没能保存", kTitleUnits);
    notice.text = withPath(L"没能写入 %PATH%（" + reason + L"）。原来的文件没有改动，下次保存时会再试。",
                           path.wstring(), kTextUnits);
    return notice;
}

Notice userFolderNotice(const std::filesystem::path& folder)
{
    Notice notice;
    notice.title = L"设置和学习进度存在你的用户文件夹里";
    notice.text =
        withPath(L"Mivora 所在的文件夹不能写入，设置和学习进度改存在 %PATH%。在 关于 页上可以打开这个文件夹。",
                 folder.wstring(), kTextUnits);
    return notice;
}

Notice archiveNotice(const std::filesystem::path& folder)
{
    Notice notice;
    notice.title = L"Mivora 正在压缩包里运行";
    notice.text = withPath(L"Mivora 是从压缩包里直接打开的，退出后它所在的临时文件夹会被删除。设置和学习进度先存在 "
                           L"%PATH%，“开机自动启动”不会生效。请先把压缩包解压到一个文件夹，再从那里启动 Mivora，"
                           L"学习进度会接着用。",
                           folder.wstring(), kTextUnits);
    return notice;
}

Notice greetingNotice()
{
    Notice notice;
    notice.title = L"Mivora 已经开始运行";
    notice.text =
        L"单词会一个一个出现在屏幕上的小窗口里，右键点这个图标可以打开选项。"
        L"中考、高考、六级、考研、雅思、托福和 GRE 的词库在“选项”的“词库”页上，也可以在那里导入自己的生词本。";
    return notice;
}

// The text of the question at exit, for the saves that failed.
std::wstring exitQuestion(bool settingsFailed, const std::filesystem::path& settingsPath,
                          const std::wstring& settingsReason, bool progressFailed,
                          const std::filesystem::path& progressPath, const std::wstring& progressReason)
{
    std::wstring text;
    if (progressFailed)
        text += L"学习进度没能保存到\r\n" + progressPath.wstring() + L"\r\n（" + progressReason + L"）。\r\n\r\n";
    if (settingsFailed)
        text += L"设置没能保存到\r\n" + settingsPath.wstring() + L"\r\n（" + settingsReason + L"）。\r\n\r\n";
    text += L"可以先关掉占用文件的程序，或者腾出磁盘空间，再点“重试”。\r\n"
            L"点“取消”就直接退出：这次的改动不保存，原来的文件保持不变。";
    return text;
}

// The text kept for a save that failed at the end of a session: what and
// where, not why (see keepForNextStart).
std::wstring sessionEndText(SavedFile file, const std::filesystem::path& path)
{
    return std::wstring(savedFileName(file)) + L"没能保存到 " + path.wstring();
}

Notice sessionEndNotice(const std::wstring& keptText)
{
    Notice notice;
    notice.title = L"上次退出 Windows 时没能保存";
    notice.text = cut(keptText + L"。那次的改动已经丢失，原来的文件没有改动。", kTextUnits);
    return notice;
}

void keepSessionEndNotice(const std::wstring& text)
{
    HKEY created = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kNoticeKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &created, nullptr) != ERROR_SUCCESS)
        return;
    const UniqueRegKey key(created);
    RegSetValueExW(key.get(), kSessionEndNotice, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    // The session ends right after this: the value must be on the disk.
    RegFlushKey(key.get());
}

// The kept notice's text, removed from the registry; empty when none.
std::wstring takeSessionEndNotice()
{
    wchar_t text[1024] = {};
    DWORD bytes = sizeof text - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kNoticeKeyPath, kSessionEndNotice, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return {};
    // Told once: the key holds nothing else of ours.
    RegDeleteKeyW(HKEY_CURRENT_USER, kNoticeKeyPath);
    return text;
}

}  // namespace

std::filesystem::path userFilesFolder()
{
    wchar_t folder[MAX_PATH] = {};
    // The roaming folder, as Windows asks of per-user data; CSIDL_FLAG_CREATE
    // makes it for a profile that never had one.
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)) ||
        folder[0] == L'\0')
        return {};
    return std::filesystem::path(folder) / L"Mivora";
}

void FileNotices::tellStartNotices()
{
    const std::wstring kept = takeSessionEndNotice();
    Notice notice;
    if (!kept.empty()) notice = sessionEndNotice(kept);
    // Told once, at the first start that keeps the files in the user's
    // folder; from inside an archive, that is what the user must hear.
    if (place_.perUser && place_.firstUse) {
        const Notice placeNotice =
            place_.programVanishes ? archiveNotice(place_.folder) : userFolderNotice(place_.folder);
        if (notice.text.empty()) {
            notice = placeNotice;
        } else {
            // Both at one start (rare): one balloon, the failure first.
            notice.text = (notice.text + L"\n" + placeNotice.text).substr(0, kTextUnits);
        }
    }
    // A new user is greeted, after anything they must hear first.
    bool greetingOnly = false;
    if (firstStart_) {
        const Notice greeting = greetingNotice();
        if (notice.text.empty()) {
            notice = greeting;
            greetingOnly = true;
        } else {
            notice.text = (notice.text + L"\n" + greeting.text).substr(0, kTextUnits);
        }
    }
    if (!notice.text.empty()) tray_.showBalloon(notice.title, notice.text, greetingOnly);
}

void FileNotices::reportSave(SavedFile file, bool saved)
{
    bool& told = failureTold_[static_cast<int>(file)];
    if (saved) {
        told = false;
        return;
    }
    if (told) return;
    told = true;
    const Notice notice = failedSaveNotice(file, savedPath(file), failureReason(file));
    tray_.showBalloon(notice.title, notice.text);
}

void FileNotices::tellProgressPutAside()
{
    const Notice notice{
        L"学习进度文件读不出来",
        withPath(
            L"%PATH% 过了一分钟还是读不出来，可能已经损坏。它已改名留在原处（名字后面加上了 .unreadable- 和日期），"
            L"现在的学习进度已经重新保存。",
            savedPath(SavedFile::progress).wstring(), kTextUnits)};
    tray_.showBalloon(notice.title, notice.text);
}

void FileNotices::tellReviewAnswersUnwritten()
{
    const std::filesystem::path log = place_.dic / kReviewLogName;
    const Notice notice{L"复习记录暂时没能保存",
                        withPath(L"复习的回答写不进 %PATH%（可能正被同步程序或其他程序占用）。回答都还记着，"
                                 L"文件能写入时会一起补上，不用重新复习。",
                                 log.wstring(), kTextUnits)};
    tray_.showBalloon(notice.title, notice.text);
}

bool FileNotices::askToRetryAtExit(bool settingsFailed, bool progressFailed, bool moreSettingsFailed) const
{
    const SavedFile settings = settingsFailed ? SavedFile::settings : SavedFile::moreSettings;
    const bool eitherFailed = settingsFailed || moreSettingsFailed;
    const std::wstring question = exitQuestion(
        eitherFailed, savedPath(settings), eitherFailed ? failureReason(settings) : std::wstring(), progressFailed,
        savedPath(SavedFile::progress), progressFailed ? failureReason(SavedFile::progress) : std::wstring());
    // The owner window is gone: the box stands on its own, in front.
    return MessageBoxW(nullptr, question.c_str(), kExitQuestionTitle,
                       MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST) == IDRETRY;
}

void FileNotices::keepForNextStart(bool settingsSaved, bool progressSaved, bool moreSettingsSaved) const
{
    // Without the cause: finding it tries the file again, and the session
    // end's time is up.
    std::wstring kept;
    if (!progressSaved) kept = sessionEndText(SavedFile::progress, savedPath(SavedFile::progress));
    if (!settingsSaved) {
        if (!kept.empty()) kept += L"；";
        kept += sessionEndText(SavedFile::settings, savedPath(SavedFile::settings));
    }
    if (!moreSettingsSaved) {
        if (!kept.empty()) kept += L"；";
        kept += sessionEndText(SavedFile::moreSettings, savedPath(SavedFile::moreSettings));
    }
    if (!kept.empty()) keepSessionEndNotice(kept);
}

std::filesystem::path FileNotices::savedPath(SavedFile file) const
{
    switch (file) {
    case SavedFile::settings:
        return place_.folder / kSettingsFileName;
    case SavedFile::moreSettings:
        return place_.folder / kIniFileName;
    default:
        return place_.dic / kProgressFileName;
    }
}

std::wstring FileNotices::failureReason(SavedFile file) const
{
    // mivora.ini is a few hundred bytes.
    std::uintmax_t bytes = file == SavedFile::moreSettings ? 4096 : sizeof(SettingsRecord);
    if (file == SavedFile::progress) {
        // Another PC's save that the sync program is still writing.
        if (store_.progressFileUnfinished()) return L"文件正在同步，还没写完";
        // The look at the file was still reading it from a slow folder.
        if (store_.progressFileSlow()) return L"文件所在的文件夹太慢，还没读完";
        const ProgressHeader header = store_.header();
        bytes = sizeof header + (static_cast<std::uintmax_t>(std::max(header.rememberedCount, 0)) +
                                 static_cast<std::uintmax_t>(std::max(header.learningCount, 0))) *
                                    sizeof(WordEntry);
    }
    return saveFailureReason(savedPath(file), bytes);
}
