// The application object: created by the entry point, it owns everything
// that lives as long as the program, in the order below, and its
// destruction frees all of it in the reverse order. The hidden owner
// window's creation sets the program up, its destruction takes it down,
// and it receives the tray icon's notifications and the workers' results.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "app/FileNotices.h"
#include "app/Tray.h"
#include "hotkeys/Hotkeys.h"
#include "settings/ReviewSettings.h"
#include "settings/SettingsRecord.h"
#include "settings/SpeechSettings.h"
#include "settings/WordSettings.h"
#include "speech/Speech.h"
#include "store/WordGet.h"
#include "store/files/FilePlace.h"
#include "store/review/ReviewLog.h"
#include "store/review/ReviewStats.h"
#include "ui/DictionaryReload.h"
#include "ui/OptionsSheet.h"
#include "ui/word/WordWindow.h"
#include "win/Handles.h"
#include "win/Worker.h"

// The periodic save's period. Progress is otherwise written only when the
// program ends, so a crash or a power cut would lose a whole day of study.
constexpr UINT kProgressSaveIntervalMs = 5 * 60 * 1000;
// How often the progress file on disk is looked at while the program runs:
// a sync program that brings another PC's save is noticed within a minute.
// A look costs one query of the file's size and time.
constexpr UINT kProgressCheckIntervalMs = 30 * 1000;
// How long shutdown waits for each worker still running before the store
// is saved. A load reads one file; ten seconds is far beyond it.
constexpr DWORD kWorkerWaitMs = 10000;
// At log-off Windows gives a program about five seconds after
// WM_ENDSESSION and then ends it: everything the session end does (the
// wait for workers, the saves with their retries, the notice of what
// failed) shares one deadline this far ahead.
constexpr DWORD kEndSessionMs = 4000;
// Of that, all workers together are waited for no longer than this, so
// that the save comes first.
constexpr DWORD kEndSessionWaitMs = 2500;

class App {
public:
    // `userFolder` is the user's own folder for the files, used when the
    // program's folder cannot be written (tests give a folder of their own).
    explicit App(HINSTANCE instance, std::filesystem::path userFolder = userFilesFolder());
    // Destroys the owner window if it is still there (the whole shutdown
    // runs inside that), then everything else.
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // The owner window's class "Mivora", the session watch's and the word
    // window's; once a process.
    static bool registerWindowClasses(HINSTANCE instance);

    // Creates the hidden owner window; everything else is set up inside its
    // creation. False when that fails.
    bool start();
    // Runs until WM_QUIT and returns its wParam.
    int run();
    // The last step before the process ends (normal exit or log-off): waits
    // for every worker, then writes the progress file if the lists changed
    // (at an ordinary exit that save was tried as the windows went, and a
    // failure of it is asked about without a second try first),
    // so the store's destructor finds nothing left to do while other
    // threads may exist. `waitMs` bounds the wait for all workers together.
    // At an ordinary exit, when that save or the settings save of the exit
    // failed, a question says so and lets the user retry (重试) once the
    // file is free or the disk has room, or end without saving (取消), after
    // which nothing is written. A log-off while the question waits keeps
    // what it can, as any log-off does.
    void finishWordStore(DWORD waitMs = kWorkerWaitMs);

    // The last step of all, after finishWordStore. A worker still running
    // then uses the store and the word window, which its application object
    // owns: the object is then deliberately left alive until the process
    // ends (and returned, for tests) rather than freed under the worker.
    // Otherwise it is destroyed and nullptr is returned.
    static App* release(std::unique_ptr<App> app);

    HWND ownerWindow() const { return ownerWindow_.get(); }

private:
    // The in-process tests drive the parts directly.
    friend struct AppTestAccess;

    // The hidden window that stands in for the owner window while the
    // question at exit waits: it hears of a log-off.
    static LRESULT CALLBACK sessionWatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool onCreate(HWND window);
    void onDestroy();
    void onEndSession(bool sessionEnds);
    // What a log-off writes, within kEndSessionMs: the settings, the
    // progress when it changed, and for what failed a notice kept for the
    // next start (there is no time to ask, nor to look into the cause).
    void keepAtSessionEnd();
    void onTimer(WPARAM id);
    // True while a worker that a bounded wait gave up on still runs.
    bool workersRunning() const;

    // WM_OPEN_OPTIONS, a second start's request: the open sheet comes to
    // the front, or the sheet opens on its settings page.
    void openOptionsForSecondStart();
    // The open sheet to the front with the keyboard: the sheet itself, or
    // what it shows on top of itself (the font or colour chooser, the 删除
    // question), since the sheet is disabled while that is open. False when
    // no sheet is open.
    bool bringSheetForward();

    // The settings file in the files' folder and the Run registration. A
    // failed save is told once in a balloon until a save succeeds again.
    // saveSettings writes mivora.ini too (the options sheet's OK).
    bool saveSettings();

    // mivora.ini beside mivora.bin: every section the program knows is read
    // into its typed settings at start, and written back from them by
    // saveIni (on OK; at exit and log-off when a change is still unsaved).
    // The file is read again before each save, so a section or a line the
    // program does not know, or one the user edited meanwhile, stays as it
    // is. A failed save is told as the other files' are.
    void loadIni();
    bool saveIni();
    // Reads mivora.ini as it is now, sets every section of the program in
    // it and replaces the file if that changed anything. No balloon.
    bool writeIni();

    // 朗读 from anywhere (the word's menu, a hotkey): says the word the
    // window shows, nothing while the list is loading.
    void speakShownWord();
    // The example sentences beside the lists, read on their worker; the
    // word window gets them when the worker's notice comes.
    void startExamplesLoad(HWND window);
    void examplesLoaded(WPARAM run);

    // Review: remembered words that come back to the round when due.
    // After the start-up load: the log is read and today's due words come
    // to the front of the round, the first of them shown next.
    void startReview();
    // Today's due words into the round, as many as today's limit leaves
    // room for, and the tooltip's count. At start, when the date changed
    // while running, and after the settings changed.
    void bringBackDueWords(bool showFirst);
    // On the owner's periodic tick: a new day brings its words.
    void checkReviewDay();
    void applyReviewSettings();
    void refreshTip();
    // 已记住 or 忘了 in the word's menu: the answer goes into the log.
    // An answer to a word under review (or being learnt): its grade, and
    // whether it came before the meaning showed.
    void recordAnswer(const WordEntry& entry, ReviewGrade grade, bool beforeMeaning);
    // The first word under review shown without its meaning: one balloon
    // says what to do, once for good.
    void tellRecallFirst(const WordEntry& entry);
    ReviewSnapshot reviewSnapshot() const;

    // The periodic save: starts writing the progress file on its worker when
    // the lists changed; the worker posts WM_SAVE_DONE to the owner window.
    // False when no save was started (nothing changed, or one is running).
    bool startProgressSave();
    bool progressSaveRunning() const { return progressSave.running(); }
    // Writes the progress file if the lists changed; true when nothing is
    // left unsaved.
    bool saveChangedProgress();
    // The look at the progress file on disk, on the same worker (a synced
    // disk may be slow); the worker posts WM_PROGRESS_CHECKED. False when
    // none was started (a save or look is running).
    bool startProgressCheck();
    // After another PC's progress was merged into the lists: the word
    // window, the tooltip and the open options pages show the merged state.
    void showMergedProgress();

    // The tray icon's notification (WM_TRAYICON's lParam), and the commands
    // of its menu (0 and unknown ids do nothing).
    LRESULT trayNotify(LPARAM lParam);
    UINT chooseTrayCommand();
    void runTrayCommand(UINT command);
    // WM_HOTKEY: the command of hotkey `id`, as its menu item or the tray
    // menu runs it.
    void runHotkey(WPARAM id);

    // One try on the tray icon's retry timer at `now` (GetTickCount). When
    // the icon is still missing after kTrayRetryPeriodMs, shows the error
    // and destroys the owner window, which ends the program.
    void retryTrayIcon(DWORD now);

    // Every worker, through one path: exit and log-off both come here.
    // `timeoutMs` is for all of them together.
    void waitForWorkers(DWORD timeoutMs);
    // Lets the shell's messages and a second start's request through to
    // the owner window when the program runs elevated.
    void allowShellMessages(HWND window);

    // Owned, in the order they are made.
    const HINSTANCE appInstance;
    const std::filesystem::path userFolder_;
    SettingsRecord Settings{};
    // The sections of mivora.ini.
    SpeechSettings speechSettings;
    ReviewSettings reviewSettings;
    WordSettings wordSettings;
    // Where the program and its files are, chosen at start.
    FilePlace place;
    // The size of a maximised window, taken at start.
    int maximizedWidth = 0;
    int maximizedHeight = 0;
    WordGet wordStore;
    // mivora-review.txt beside the progress file, and the schedule from it.
    ReviewLog reviewLog;
    // The local day whose due words were last brought back; 0 until the
    // log is read.
    std::int32_t reviewDay_ = 0;
    // The workers: the start-up load, dictionary reloads, periodic saves.
    Worker wordLoad;
    Worker dictionaryLoad;
    Worker progressSave;
    // Reads the example sentences beside the lists once, at start; what it
    // read waits here until its notice comes.
    Worker examplesLoad;
    std::shared_ptr<SharedExamples> examplesRead_;
    Tray tray;
    FileNotices notices{place, wordStore, tray};
    // Says words aloud (朗读, 自动朗读, the options page's 试听): anything
    // else that wants a word said calls speech.speak(word).
    Speech speech{speechSettings};
    // The system-wide hotkeys as mivora.ini holds them, and their
    // registrations for the owner window.
    HotkeySettings hotkeySettings = defaultHotkeys();
    Hotkeys hotkeys;
    WordWindow wordWindow{Settings, wordStore, wordLoad};
    DictionaryReload reload{dictionaryLoad, wordStore, wordWindow};
    // The colour dialog's custom colours, kept for the life of the process.
    COLORREF customColors[16] = {};
    OptionsContext options;
    OptionsSheet sheet{options};

    bool settingsSavedAtExit_ = true;
    // Whether the exit's first progress save, tried as the windows went,
    // succeeded; empty until it is tried.
    std::optional<bool> progressSavedAtExit_;
    // A change to mivora.ini that is not on the disk yet (its save failed).
    bool iniUnsaved_ = false;
    bool iniSavedAtExit_ = true;

    UniqueWindow ownerWindow_;
};
