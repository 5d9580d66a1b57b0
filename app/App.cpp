#include "app/App.h"

#include <prsht.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#include "res/resource.h"
#include "settings/IniFile.h"
#include "settings/ReviewSettings.h"
#include "settings/Settings.h"
#include "store/ProgressSaver.h"
#include "store/text/Text.h"
#include "win/MessageFilter.h"
#include "win/Messages.h"
#include "win/ObjectWindow.h"
#include "win/Program.h"
#include "win/Timers.h"

namespace {

// The word field of an entry, the only part that is said.
std::u16string_view shownWord(const WordEntry& entry)
{
    return {entry.word, boundedLength(entry.word, std::size(entry.word))};
}

constexpr wchar_t kSessionWatchClass[] = L"MivoraSessionWatch";

// What a look at the files found, as the worker posts it.
constexpr LPARAM kSaveNow = 1;    // the progress merged or put aside: save at once
constexpr LPARAM kLogMerged = 2;  // the review log brought answers from elsewhere

}  // namespace

App::App(HINSTANCE instance, std::filesystem::path userFolder)
    : appInstance(instance),
      userFolder_(std::move(userFolder)), options{instance, nullptr,      Settings, place, wordStore, wordWindow,
                                                  reload,   customColors, 0,        0,     {}}
{
    options.saveSettings = [this] {
        saveSettings();
        applyReviewSettings();
        wordWindow.setExamplesShown(wordSettings.examples);
        // Taken again after OK: one another program let go of meanwhile is
        // ours now.
        hotkeys.setSettings(hotkeySettings);
    };
    options.speech = &speechSettings;
    options.speaker = &speech;
    options.hotkeySettings = &hotkeySettings;
    options.hotkeys = &hotkeys;
    options.review = &reviewSettings;
    options.word = &wordSettings;
    // 忘记 on the 词库 page: the word was not recalled, as 忘了 says.
    options.forgotRemembered = [this](const WordEntry& entry) { recordAnswer(entry, ReviewGrade::again, false); };
    options.reviewSnapshot = [this] { return reviewSnapshot(); };
}

App::~App()
{
    ownerWindow_.reset();
}

bool App::registerWindowClasses(HINSTANCE instance)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = objectWindowProc<App, &App::ownerWindow_, &App::onMessage>;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = appName;
    if (RegisterClassW(&windowClass) == 0) return false;
    WNDCLASSW watchClass{};
    watchClass.lpfnWndProc = sessionWatchProc;
    watchClass.hInstance = instance;
    watchClass.lpszClassName = kSessionWatchClass;
    if (RegisterClassW(&watchClass) == 0) return false;
    return WordWindow::registerClass(instance);
}

bool App::start()
{
    // The window records itself in ownerWindow_ while it is created. Not
    // topmost: everything it owns (the options sheet, the font and colour
    // choosers, every message box) would be topmost too, and the guide and
    // the folder the about page opens would appear behind the sheet. The
    // word window is topmost on its own.
    return CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, appName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           appInstance, this) != nullptr;
}

int App::run()
{
    MSG message{};
    for (;;) {
        BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0) return static_cast<int>(message.wParam);
        // -1 only comes with an invalid filter window, which this loop never
        // passes; looping on it would spin for ever.
        if (result == -1) return 1;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool App::saveSettings()
{
    const bool saved = ::saveSettings(Settings, place.folder);
    notices.reportSave(SavedFile::settings, saved);
    const bool iniSaved = saveIni();
    return saved && iniSaved;
}

void App::loadIni()
{
    // Without a file, or with one that cannot be read, every value keeps its
    // default; a file that cannot be read is never written over (writeIni).
    IniDocument document;
    loadIniFile(place.folder / kIniFileName, document);
    speechSettings = readSpeechSettings(document);
    hotkeySettings = readHotkeySettings(document);
    reviewSettings = readReviewSettings(document);
    wordSettings = readWordSettings(document);
    // Another section: its typed settings read here from `document`.
}

bool App::writeIni()
{
    if (place.folder.empty()) return false;
    const std::filesystem::path file = place.folder / kIniFileName;
    IniDocument document;
    if (loadIniFile(file, document) == IniLoad::Unreadable) return false;
    const IniDocument before = document;
    writeSpeechSettings(document, speechSettings);
    writeHotkeySettings(document, hotkeySettings);
    writeReviewSettings(document, reviewSettings);
    writeWordSettings(document, wordSettings);
    // Another section: its typed settings written here into `document`.
    return document == before || saveIniFile(file, document);
}

bool App::saveIni()
{
    const bool saved = writeIni();
    iniUnsaved_ = !saved;
    notices.reportSave(SavedFile::moreSettings, saved);
    return saved;
}

void App::speakShownWord()
{
    if (wordWindow.loading()) return;
    // The sentence the window shows is said after the word.
    const std::u16string sentence = wordWindow.shownSentence();
    if (sentence.empty()) {
        speech.speak(shownWord(wordStore.currentEntry()));
        return;
    }
    std::u16string both(shownWord(wordStore.currentEntry()));
    both += u". ";
    both += sentence;
    speech.speak(both);
}

void App::startExamplesLoad(HWND window)
{
    // Inputs by value; the result is handed over through the shared slot,
    // written before the notice is posted and read only after it arrives.
    auto slot = std::make_shared<SharedExamples>();
    examplesRead_ = slot;
    std::vector<std::filesystem::path> folders = place.dictionaryFolders;
    examplesLoad.start(window, WM_EXAMPLES_LOADED, [slot, folders = std::move(folders)]() -> LPARAM {
        *slot = std::make_shared<const Examples>(Examples::load(folders));
        return 1;
    });
}

void App::examplesLoaded(WPARAM run)
{
    if (!examplesLoad.finished(run) || !examplesRead_) return;
    wordWindow.setExamples(*examplesRead_);
    examplesRead_.reset();
}

LRESULT App::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return onCreate(window) ? 0 : -1;
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_TRAYICON:
        return trayNotify(lParam);
    case WM_RELOAD_DONE:
        reload.finish(wParam);
        return 0;
    case WM_EXAMPLES_LOADED:
        examplesLoaded(wParam);
        return 0;
    case WM_SAVE_DONE:
        // Posting was the worker's last act but one: its thread is let go
        // here, so that none is left for exit.
        if (progressSave.finished(wParam)) {
            notices.reportSave(SavedFile::progress, lParam != 0);
            if (wordStore.takeDamagedNotice()) notices.tellProgressPutAside();
            showMergedProgress();
        }
        return 0;
    case WM_PROGRESS_CHECKED:
        if (progressSave.finished(wParam)) {
            showMergedProgress();
            // Answers the other PC gave reach this one at every look, not
            // only with a changed progress file (a review answered 已记住
            // changes nothing there).
            if ((lParam & kLogMerged) != 0) refreshTip();
            if (reviewLog.takeUnwrittenNotice(static_cast<std::int64_t>(std::time(nullptr))))
                notices.tellReviewAnswersUnwritten();
            // What this PC changed meanwhile goes to the other one at once.
            if ((lParam & kSaveNow) != 0) startProgressSave();
        }
        return 0;
    case WM_ENDSESSION:
        onEndSession(wParam != FALSE);
        return 0;
    case WM_OPEN_OPTIONS:
        openOptionsForSecondStart();
        return 0;
    case WM_HOTKEY:
        runHotkey(wParam);
        return 0;
    case WM_SPEECH_EVENT:
        speech.onSpeechEvent();
        return 0;
    case WM_TIMER:
        onTimer(wParam);
        return 0;
    default:
        // Explorer restarted: its new notification area knows no icons.
        if (message != 0 && message == taskbarCreatedMessage()) {
            tray.restore();
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool App::onCreate(HWND window)
{
    maximizedWidth = GetSystemMetrics(SM_CXMAXIMIZED);
    maximizedHeight = GetSystemMetrics(SM_CYMAXIMIZED);
    options.maximizedWidth = maximizedWidth;
    options.maximizedHeight = maximizedHeight;
    tray.load(appInstance, window);
    options.icon = tray.icon();
    reload.setNotifyWindow(window);
    allowShellMessages(window);
    const std::filesystem::path program = programFolder();
    place = chooseFilePlace(program, userFolder_, runsFromArchive(program.wstring()));
    {
        std::error_code error;
        notices.setFirstStart(!std::filesystem::exists(settingsFilePath(place.folder), error) && !error);
    }
    loadSettingsIn(Settings, place.folder, maximizedWidth);
    loadIni();
    // The word window's creation starts the load, which needs all three.
    wordStore.setDirectory(place.dic);
    wordStore.setDictionaryDirectories(place.dictionaryFolders);
    wordStore.setCycleSize(Settings.cycleSize);
    reviewLog.setDirectory(place.dic);
    reviewLog.setRetention(reviewSettings.retention());
    // Before the word load: the history's latest action on each word
    // decides it in the load, and in every merge with another PC's file.
    reviewLog.load(reviewLog.dayOf(std::time(nullptr)));
    wordStore.setHistory(&reviewLog);

    speech.setNotifyWindow(window);
    speech.setTell([this](const std::wstring& title, const std::wstring& text) { tray.showBalloon(title, text); });
    WordWindowEvents events;
    events.wordShown = [this](const WordEntry& entry) {
        if (speechSettings.autoRead) speech.speak(shownWord(entry));
        tellRecallFirst(entry);
    };
    // Nothing is said while a full-screen program is in front: what is
    // being said stops, and no word is shown (or told) until the window is
    // back.
    // The hotkeys are let go as well, so a game or a film gets every key;
    // they come back with the window.
    events.asideChanged = [this](bool aside) {
        if (aside) speech.stop();
        hotkeys.setStandingAside(aside);
    };
    events.speakRequested = [this](const WordEntry&) { speakShownWord(); };
    events.sentenceSpeakRequested = [this](const std::u16string& sentence) { speech.speak(sentence); };
    events.answered = [this](const WordEntry& entry, bool good, bool beforeMeaning) {
        recordAnswer(entry, good ? ReviewGrade::good : ReviewGrade::again, beforeMeaning);
    };
    events.answeredEasy = [this](const WordEntry& entry, bool beforeMeaning) {
        recordAnswer(entry, ReviewGrade::easy, beforeMeaning);
    };
    events.loaded = [this] { startReview(); };
    wordWindow.setEvents(std::move(events));
    wordWindow.setRecallFirst(reviewSettings.recallFirst, reviewSettings.revealSeconds);
    wordWindow.setExamplesShown(wordSettings.examples);
    if (!wordWindow.create(appInstance)) return false;
    startExamplesLoad(window);
    hotkeys.setWindow(window);
    hotkeys.setSettings(hotkeySettings);
    // The notification area may not be there yet (a start at log-on): the
    // program runs on and tries again for a while.
    if (!tray.add()) tray.beginRetry(GetTickCount());
    // Shown once the icon is there.
    notices.tellStartNotices();
    SetTimer(window, TIMER_SAVE_PROGRESS, kProgressSaveIntervalMs, nullptr);
    SetTimer(window, TIMER_CHECK_PROGRESS, kProgressCheckIntervalMs, nullptr);
    return true;
}

// Also runs after a failed creation, when some parts were never made;
// taking down what is not there does nothing.
void App::onDestroy()
{
    // A start made from here on waits for this process to end rather than
    // handing its request to a window that will never read it.
    HWND owner = ownerWindow();
    SetPropW(owner, kOwnerClosingProperty, owner);
    // Told at the end of finishWordStore, with the progress, so that the
    // user answers one question.
    settingsSavedAtExit_ = ::saveSettings(Settings, place.folder);
    hotkeys.setWindow(nullptr);
    iniSavedAtExit_ = !iniUnsaved_ || writeIni();
    // The progress is saved before the windows go, which may take seconds
    // (Wine waits for a window manager that may not be there): the save is
    // tried while things stand as they stood at 退出, and a file another
    // program holds then is asked about, even if it is let go meanwhile.
    waitForWorkers(kWorkerWaitMs);
    progressSavedAtExit_ = saveChangedProgress();
    // Silent before the windows go; the voice and COM are let go here, on
    // the thread that started them.
    speech.shutdown();
    wordWindow.destroy();
    tray.remove();
    PostQuitMessage(0);
    // Nothing may be left on a window as it goes; a start now finds no
    // window at all.
    RemovePropW(owner, kOwnerClosingProperty);
}

// Windows may end the process at any moment after WM_ENDSESSION returns and
// sends no WM_DESTROY, so everything an ordinary exit writes is written here,
// in the same order.
void App::onEndSession(bool sessionEnds)
{
    if (sessionEnds) keepAtSessionEnd();
}

void App::keepAtSessionEnd()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndSessionMs);
    settingsSavedAtExit_ = ::saveSettings(Settings, place.folder);
    iniSavedAtExit_ = !iniUnsaved_ || writeIni();
    speech.stop();
    // A load still running after this is left to be cut off: its lists are
    // not in place yet, so the save writes what the user changed before.
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    waitForWorkers(static_cast<DWORD>(std::clamp<long long>(left.count(), 0, kEndSessionWaitMs)));
    const bool progressSaved = wordStore.saveIfChanged(deadline);
    // No time to ask: a failure is kept and told at the next start.
    notices.keepForNextStart(settingsSavedAtExit_, progressSaved, iniSavedAtExit_);
}

LRESULT CALLBACK App::sessionWatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* app = reinterpret_cast<App*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_ENDSESSION && wParam != FALSE && app != nullptr) {
        app->keepAtSessionEnd();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void App::allowShellMessages(HWND window)
{
    allowMessageFromLowerIntegrity(window, taskbarCreatedMessage());
    allowMessageFromLowerIntegrity(window, WM_TRAYICON);
    allowMessageFromLowerIntegrity(window, WM_OPEN_OPTIONS);
}

bool App::bringSheetForward()
{
    HWND open = sheet.openSheet();
    if (open == nullptr) return false;
    // The sheet itself when nothing of it is on top.
    HWND popup = GetLastActivePopup(open);
    SetForegroundWindow(popup != nullptr ? popup : open);
    return true;
}

void App::openOptionsForSecondStart()
{
    if (bringSheetForward()) return;
    // The second start let this process take the foreground; the sheet,
    // owned by this window, opens in front.
    SetForegroundWindow(ownerWindow());
    sheet.open(ownerWindow(), kSettingsPage);
}

void App::onTimer(WPARAM id)
{
    if (id == TIMER_SAVE_PROGRESS)
        startProgressSave();
    else if (id == TIMER_CHECK_PROGRESS) {
        startProgressCheck();
        checkReviewDay();
    } else if (id == TIMER_TRAY_RETRY)
        retryTrayIcon(GetTickCount());
}

void App::retryTrayIcon(DWORD now)
{
    if (tray.retry(now)) return;
    // Without the icon the user could never reach the menu, not even to end
    // the program.
    MessageBoxW(ownerWindow(), L"Shell_NotifyIcon Error", L"Dizudiz Error", MB_ICONERROR | MB_OK);
    DestroyWindow(ownerWindow());
}

// The store swaps a freshly loaded list in under its lock, so a save that
// meets a running load writes either the old lists or the new ones, and a
// load that finishes later marks the store dirty again.
bool App::startProgressSave()
{
    if (progressSave.running()) return false;
    std::optional<ProgressSnapshot> snapshot = ProgressSaver::take(wordStore);
    if (!snapshot) return false;
    WordGet* store = &wordStore;
    return progressSave.start(ownerWindow(), WM_SAVE_DONE, [store, snapshot = std::move(*snapshot)]() -> LPARAM {
        return ProgressSaver::write(*store, snapshot) ? 1 : 0;
    });
}

bool App::startProgressCheck()
{
    if (progressSave.running()) return false;
    WordGet* store = &wordStore;
    ReviewLog* log = &reviewLog;
    return progressSave.start(ownerWindow(), WM_PROGRESS_CHECKED, [store, log]() -> LPARAM {
        // A merge, or a damaged file to be put aside: a save follows at once.
        const WordGet::DiskCheck check = store->checkProgressFile();
        LPARAM result = check == WordGet::DiskCheck::merged || check == WordGet::DiskCheck::damaged ? kSaveNow : 0;
        // The review log too: merged with the other PC's answers, and the
        // answers an earlier write could not write written now.
        if (log->mergeWithDisk()) result |= kLogMerged;
        return result;
    });
}

void App::showMergedProgress()
{
    if (!wordStore.takeMergeNotice()) return;
    // The store has kept the word shown if it is still to be learnt, or
    // moved on to the next one that is.
    // The other PC's answers come with its progress: the log on disk is
    // merged with this one's, and a word it forgot or deleted leaves review.
    reviewLog.mergeWithDisk();
    wordStore.pruneReview();
    wordWindow.layout();
    refreshTip();
    if (HWND open = sheet.openSheet()) SendMessageW(open, PSM_QUERYSIBLINGS, kProgressChangedQuery, 0);
}

bool App::workersRunning() const
{
    return wordLoad.running() || dictionaryLoad.running() || progressSave.running() || examplesLoad.running();
}

App* App::release(std::unique_ptr<App> app)
{
    if (app == nullptr) return nullptr;
    // Let go of any that have ended since the wait.
    app->waitForWorkers(0);
    if (app->workersRunning()) return app.release();
    return nullptr;
}

void App::waitForWorkers(DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    const auto left = [deadline]() -> DWORD {
        const ULONGLONG now = GetTickCount64();
        return now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    };
    // The load first: a reload waits for it, and a save that meets it
    // writes the lists as they were.
    wordLoad.wait(left());
    dictionaryLoad.wait(left());
    progressSave.wait(left());
    examplesLoad.wait(left());
}

bool App::saveChangedProgress()
{
    // A periodic save that was still writing has finished; this save then
    // writes whatever changed after its copy. A look at the file still
    // reading a slow folder after the wait for the workers is waited for
    // only a little longer: then the question says so, and 重试 waits
    // again.
    constexpr auto kSlowFolderWait = std::chrono::seconds(2);
    // Also with nothing changed here: a file another PC left meanwhile may
    // lack what this one holds, and is merged and written back.
    return wordStore.saveIfChanged({}, std::chrono::steady_clock::now() + kSlowFolderWait);
}

void App::finishWordStore(DWORD waitMs)
{
    // Workers still running after the wait in onDestroy are not waited for
    // twice, and a failure of the save made there is asked about first.
    const std::optional<bool> savedAsWindowsWent = std::exchange(progressSavedAtExit_, std::nullopt);
    waitForWorkers(savedAsWindowsWent ? 0 : waitMs);
    bool askFirst = savedAsWindowsWent == false;
    // The owner window is gone; while the question waits, this hidden one
    // hears of a log-off in its place (a hidden top-level window is told
    // of it like any other).
    UniqueWindow sessionWatch;
    for (;;) {
        const bool progressSaved = !std::exchange(askFirst, false) && saveChangedProgress();
        if (progressSaved && settingsSavedAtExit_ && iniSavedAtExit_) return;
        if (!sessionWatch)
            sessionWatch.reset(CreateWindowExW(WS_EX_TOOLWINDOW, kSessionWatchClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                               nullptr, appInstance, this));
        if (!notices.askToRetryAtExit(!settingsSavedAtExit_, !progressSaved, !iniSavedAtExit_)) {
            // The question promised that the old files stay as they are:
            // the store's destructor must not save after all, even if the
            // file has been let go meanwhile.
            wordStore.forgoSaving();
            return;
        }
        if (!settingsSavedAtExit_) settingsSavedAtExit_ = ::saveSettings(Settings, place.folder);
        if (!iniSavedAtExit_) iniSavedAtExit_ = writeIni();
    }
}

// The tray menu is modal: this returns the chosen id, or 0 when the user
// clicked elsewhere.
UINT App::chooseTrayCommand()
{
    HMENU menu = tray.prepareMenu(Settings.titleBarMode != 0);
    if (menu == nullptr) return 0;
    POINT cursor{};
    GetCursorPos(&cursor);
    return static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, cursor.x, cursor.y,
                                            0, ownerWindow(), nullptr));
}

void App::runTrayCommand(UINT command)
{
    switch (command) {
    case IDM_TRAY_OPTIONS:
        sheet.open(ownerWindow(), kSettingsPage);
        break;
    case IDM_TRAY_ABOUT:
        sheet.open(ownerWindow(), kAboutPage);
        break;
    case IDM_TRAY_EXIT:
        DestroyWindow(ownerWindow());  // the whole shutdown runs inside this call
        break;
    case IDM_TRAY_CAPTURE:
        // Two seconds for the user to bring the window to capture to the front.
        wordWindow.startWordProbe();
        break;
    default:
        break;
    }
}

void App::runHotkey(WPARAM id)
{
    // The word's menu commands, run as the menu runs them.
    constexpr std::pair<HotkeyCommand, WordCommand> kWordCommands[] = {
        {HotkeyCommand::next, WordCommand::next},
        {HotkeyCommand::previous, WordCommand::previous},
        {HotkeyCommand::remembered, WordCommand::remembered},
        {HotkeyCommand::pause, WordCommand::pause},
        {HotkeyCommand::forgot, WordCommand::forgot},
        {HotkeyCommand::reveal, WordCommand::reveal},
        {HotkeyCommand::easy, WordCommand::easy},
    };
    const std::optional<HotkeyCommand> command = hotkeys.commandOf(id);
    if (!command) return;
    for (const auto& [hotkey, word] : kWordCommands)
        if (hotkey == *command) wordWindow.runCommand(word);
    if (*command == HotkeyCommand::speak) speakShownWord();
    if (*command == HotkeyCommand::showHide) wordWindow.setHiddenByUser(!wordWindow.hiddenByUser());
    // The hotkey lets this process take the foreground, as a second start
    // does.
    if (*command == HotkeyCommand::options) openOptionsForSecondStart();
}

// The program never selects a newer protocol version, so lParam is the
// mouse message itself.
LRESULT App::trayNotify(LPARAM lParam)
{
    HWND window = ownerWindow();
    switch (lParam) {
    case WM_MOUSEMOVE:
        // On every move, so the tooltip shows the counters of this moment.
        refreshTip();
        return 0;
    case WM_LBUTTONUP:
        // The word's menu also while the options are open: in title-bar mode
        // it is the only way to 已记住 then.
        SetForegroundWindow(window);
        wordWindow.showWordMenu(window);
        // The user was working in the open sheet (or a window of it): it
        // gets the keyboard back.
        bringSheetForward();
        return 0;
    case WM_RBUTTONUP:
        // With the sheet open the tray menu would start a second modal loop:
        // the sheet (or its chooser or question on top) comes forward with
        // the keyboard instead (the owner window is hidden, and activating it
        // would leave the user nowhere to type).
        if (bringSheetForward()) return 0;
        // The foreground is what makes the menu close when the user clicks
        // elsewhere.
        SetForegroundWindow(window);
        runTrayCommand(chooseTrayCommand());
        // After "退出" the window is gone and this post simply fails.
        PostMessageW(window, WM_NULL, 0, 0);
        return 0;
    default:
        return 1;
    }
}

void App::startReview()
{
    bringBackDueWords(true);
}

void App::bringBackDueWords(bool showFirst)
{
    const std::int32_t today = reviewLog.dayOf(std::time(nullptr));
    reviewDay_ = today;
    if (reviewSettings.enabled) {
        std::vector<std::u16string> remembered;
        wordStore.forEachEntry(WordList::remembered,
                               [&](const WordFields& fields) { remembered.emplace_back(fields.word); });
        // Words already in the round count among today's, and are not
        // brought twice.
        reviewLog.setToday(today);
        const std::size_t came = wordStore.bringBack(
            reviewLog.comingBack(
                remembered, [this](std::u16string_view word) { return wordStore.underReview(word); },
                static_cast<std::int32_t>(wordStore.reviewWaiting()), reviewSettings.dailyLimit, std::time(nullptr)),
            showFirst);
        if (came != 0 && !showFirst) wordWindow.layout();
    }
    refreshTip();
}

void App::checkReviewDay()
{
    const std::int32_t today = reviewLog.dayOf(std::time(nullptr));
    if (reviewDay_ == 0 || today == reviewDay_) return;
    // Answers dated after the old day may count from this one on; the
    // words set aside yesterday may come back.
    reviewLog.setToday(today);
    wordStore.newReviewDay();
    bringBackDueWords(false);
}

void App::applyReviewSettings()
{
    reviewLog.setRetention(reviewSettings.retention());
    wordWindow.setRecallFirst(reviewSettings.recallFirst, reviewSettings.revealSeconds);
    if (reviewDay_ == 0) return;  // the load brings them
    if (!reviewSettings.enabled) {
        wordStore.endReview();
        wordWindow.layout();
    }
    bringBackDueWords(false);
}

void App::refreshTip()
{
    const std::int32_t today = reviewLog.dayOf(std::time(nullptr));
    const int count = reviewLog.reviewedOn(today) + static_cast<int>(wordStore.reviewWaiting());
    tray.setReviewToday(count, reviewSettings.enabled && reviewDay_ != 0 ? reviewSettings.dailyLimit : -1);
    tray.refreshTip(wordStore.header());
}

void App::tellRecallFirst(const WordEntry& entry)
{
    if (reviewSettings.recallTipShown || !wordWindow.meaningHidden() || !wordStore.underReview(shownWord(entry)))
        return;
    tray.showBalloon(L"先想一想它的意思",
                     L"这是到期回来复习的单词，释义先藏起来了。请先在心里想出它的意思，再把鼠标停在单词上看释义"
                     L"（几秒后也会自动显示）。想起来了就选“已记住”，没想起来就选“忘了”。",
                     true);
    // Once: kept in mivora.ini at once, so a crash does not bring it back.
    reviewSettings.recallTipShown = true;
    saveIni();
}

void App::recordAnswer(const WordEntry& entry, ReviewGrade grade, bool beforeMeaning)
{
    // Answers are logged with review switched off too: turned on again,
    // the schedule knows them.
    reviewLog.answer(std::u16string_view(entry.word, boundedLength(entry.word, kWordUnits)), grade, beforeMeaning,
                     static_cast<std::int64_t>(std::time(nullptr)));
    refreshTip();
}

ReviewSnapshot App::reviewSnapshot() const
{
    ReviewSnapshot snapshot;
    snapshot.answers = reviewLog.answers();
    std::vector<std::u16string> remembered;
    wordStore.forEachEntry(WordList::remembered,
                           [&](const WordFields& fields) { remembered.emplace_back(fields.word); });
    snapshot.dueDays.reserve(remembered.size());
    for (const std::u16string& word : remembered) snapshot.dueDays.push_back(reviewLog.dueDay(word));
    snapshot.today = reviewLog.dayOf(std::time(nullptr));
    snapshot.localDayOf = [](std::int64_t utcSeconds) { return localDayOf(utcSeconds); };
    snapshot.retention = reviewLog.retention();
    return snapshot;
}
