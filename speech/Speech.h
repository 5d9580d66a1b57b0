// Saying a word aloud through SAPI 5. COM is initialised on the UI thread
// (apartment-threaded) when a word is first to be said and stays so until
// shutdown(); ole32 and the voice are loaded then too, so that a start
// which says nothing costs nothing. Speaking is asynchronous: a call
// returns at once, and a new word cuts off the one still being said.
// Every call comes from the UI thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/SpeechSettings.h"
#include "settings/VoiceChoice.h"
#include "win/Handles.h"

struct ISpVoice;
struct ISpObjectToken;

// The registry keys whose voices are offered: the desktop voices (SAPI 5)
// and the newer system's (Windows 10 and 11, "Speech_OneCore"), whose
// tokens the desktop speech system opens as well.
constexpr wchar_t kDesktopVoices[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices";
constexpr wchar_t kOneCoreVoices[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech_OneCore\\Voices";

// How long shutdown() waits for the voice to fall silent before it lets it
// go: a voice stuck on a hung audio device is abandoned, never waited for.
constexpr DWORD kSpeechStopWaitMs = 500;

// What the user is told, once, when the word cannot be said.
constexpr wchar_t kNoEnglishVoiceTitle[] = L"没有英语语音";
constexpr wchar_t kNoEnglishVoiceText[] =
    L"Windows 10/11：设置 → 时间和语言 → 语音 → 添加语音 → English (United States)。"
    L"Windows 7 自带英语语音 Microsoft Anna。";
constexpr wchar_t kSpeechFailedTitle[] = L"不能朗读";

class Speech {
public:
    // `settings` (the voice, speed and volume) outlive this object.
    explicit Speech(const SpeechSettings& settings) : settings_(settings) {}
    ~Speech() { shutdown(); }
    Speech(const Speech&) = delete;
    Speech& operator=(const Speech&) = delete;

    // Where a failure is told: a title and a text, for a balloon. Each kind
    // of failure is told once until a word is said again.
    void setTell(std::function<void(const std::wstring& title, const std::wstring& text)> tell)
    {
        tell_ = std::move(tell);
    }

    // The window that WM_SPEECH_EVENT goes to, set before the first word
    // is said; its procedure then calls onSpeechEvent().
    void setNotifyWindow(HWND window) { notifyWindow_ = window; }
    // The speech system's events: at the end of what was said, a failure
    // that came after Speak returned is told, as an immediate one is.
    void onSpeechEvent();

    // Says `word` (plain text, never markup) with the program's settings,
    // or with `settings` (the options page's 试听). False when it could not
    // be said; the user has been told why.
    bool speak(std::u16string_view word) { return speakWith(word, settings_); }
    bool speakWith(std::u16string_view word, const SpeechSettings& settings);
    // Cuts off what is being said (a new word stepped aside, log-off).
    // Returns at once.
    void stop();
    // The installed voices, the desktop ones first; read once.
    const std::vector<VoiceInfo>& voices();
    // Stops speaking and lets the voice and COM go, waiting no longer than
    // kSpeechStopWaitMs; nothing is said afterwards.
    void shutdown();

    // Why the last speakWith failed, for the options page; empty after a
    // success.
    const std::wstring& lastFailure() const { return lastFailure_; }

private:
    bool startCom();
    bool ensureVoice();
    // Calls `visit` with each voice token of both categories and what it
    // says of itself, until `visit` returns false.
    void forEachToken(const std::function<bool(ISpObjectToken*, VoiceInfo&)>& visit);
    HRESULT setVoice(const std::u16string& id);
    void fail(const wchar_t* title, const std::wstring& text, bool& told);
    void failWith(HRESULT result);

    const SpeechSettings& settings_;
    std::function<void(const std::wstring&, const std::wstring&)> tell_;
    LoadedModule ole_;
    bool comStarted_ = false;
    bool comFailed_ = false;
    bool down_ = false;
    ISpVoice* voice_ = nullptr;
    std::u16string voiceId_;  // the token the voice was last set to
    std::vector<VoiceInfo> voices_;
    bool voicesRead_ = false;
    HWND notifyWindow_ = nullptr;
    // The voice reports the end of each text to notifyWindow_: success is
    // known only then.
    bool notifying_ = false;
    bool failureTold_ = false;
    bool noVoiceTold_ = false;
    std::wstring lastFailure_;

    // ole32's functions, found when COM is first needed.
    HRESULT(WINAPI* coInitializeEx_)(void*, DWORD) = nullptr;
    void(WINAPI* coUninitialize_)() = nullptr;
    HRESULT(WINAPI* coCreateInstance_)(const GUID&, void*, DWORD, const GUID&, void**) = nullptr;
    void(WINAPI* coTaskMemFree_)(void*) = nullptr;
};
