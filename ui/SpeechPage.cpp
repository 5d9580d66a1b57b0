// The 朗读 page of the options sheet: the English voice, the speed and the
// volume the word is said with, whether every new word is said, and 试听 to
// hear the shown word as the page stands. OK puts the page's values into the
// [Speech] settings, which the sheet's save writes to mivora.ini.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "settings/VoiceChoice.h"
#include "speech/Speech.h"
#include "store/WordGet.h"
#include "store/text/Text.h"
#include "ui/OptionsPages.h"
#include "ui/OptionsSheet.h"

namespace {

std::wstring wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

class SpeechPage : public SheetPage {
public:
    using SheetPage::SheetPage;

private:
    void fill() override
    {
        const SpeechSettings& settings = current();
        if (Speech* speaker = context().speaker) {
            for (const VoiceInfo& voice : speaker->voices())
                if (speaksEnglish(voice)) voices_.push_back(voice);
        }
        HWND combo = item(IDC_SPEECH_VOICE);
        for (const VoiceInfo& voice : voices_)
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(voice.name).c_str()));
        // The voice the words are said with: the one set, or the best.
        if (const std::optional<std::size_t> chosen = chooseVoice(voices_, settings.voice))
            SendMessageW(combo, CB_SETCURSEL, *chosen, 0);
        const bool any = !voices_.empty();
        EnableWindow(combo, any);
        EnableWindow(item(IDC_SPEECH_LISTEN), any);
        if (!any) note(std::wstring(kNoEnglishVoiceTitle) + L"。" + kNoEnglishVoiceText);

        HWND rate = item(IDC_SPEECH_RATE);
        // The slider counts from 0: the rate plus its lowest value's distance.
        SendMessageW(rate, TBM_SETRANGEMIN, FALSE, 0);
        SendMessageW(rate, TBM_SETRANGEMAX, FALSE, kSpeechRateHighest - kSpeechRateLowest);
        SendMessageW(rate, TBM_SETPAGESIZE, 0, 2);
        SendMessageW(rate, TBM_SETPOS, TRUE, settings.rate - kSpeechRateLowest);
        HWND volume = item(IDC_SPEECH_VOLUME);
        SendMessageW(volume, TBM_SETRANGEMIN, FALSE, 0);
        SendMessageW(volume, TBM_SETRANGEMAX, FALSE, kSpeechVolumeHighest);
        SendMessageW(volume, TBM_SETPAGESIZE, 0, 10);
        SendMessageW(volume, TBM_SETPOS, TRUE, settings.volume);
        CheckDlgButton(window(), IDC_SPEECH_AUTO_READ, settings.autoRead ? BST_CHECKED : BST_UNCHECKED);
    }

    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_COMMAND) return SheetPage::onMessage(message, wParam, lParam);
        if (LOWORD(wParam) == IDC_SPEECH_VOICE && HIWORD(wParam) == CBN_SELCHANGE) {
            voiceChosen_ = true;
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_SPEECH_LISTEN && HIWORD(wParam) == BN_CLICKED) {
            listen();
            return TRUE;
        }
        return FALSE;
    }

    void apply() override
    {
        if (context().speech != nullptr) *context().speech = fromControls();
    }

    const SpeechSettings& current() const
    {
        static const SpeechSettings defaults;
        return context().speech != nullptr ? *context().speech : defaults;
    }

    // The settings as the page shows them. The voice stays as it was set
    // (empty: the best English voice, whichever is installed then) until
    // the user picks one.
    SpeechSettings fromControls() const
    {
        SpeechSettings settings = current();
        const LRESULT chosen = SendMessageW(item(IDC_SPEECH_VOICE), CB_GETCURSEL, 0, 0);
        if (voiceChosen_ && chosen >= 0 && static_cast<std::size_t>(chosen) < voices_.size())
            settings.voice = voices_[static_cast<std::size_t>(chosen)].id;
        settings.rate = static_cast<int>(SendMessageW(item(IDC_SPEECH_RATE), TBM_GETPOS, 0, 0)) + kSpeechRateLowest;
        settings.volume = static_cast<int>(SendMessageW(item(IDC_SPEECH_VOLUME), TBM_GETPOS, 0, 0));
        settings.autoRead = IsDlgButtonChecked(window(), IDC_SPEECH_AUTO_READ) == BST_CHECKED;
        return settings;
    }

    // 试听: the shown word with the page's settings; why it failed, if it
    // did, stays on the page.
    void listen()
    {
        Speech* speaker = context().speaker;
        if (speaker == nullptr) return;
        const WordEntry entry = context().wordStore.currentEntry();
        const std::u16string_view word(entry.word, boundedLength(entry.word, std::size(entry.word)));
        if (word.empty()) {
            note(L"还没有单词可以试听。");
            return;
        }
        note(speaker->speakWith(word, fromControls()) ? std::wstring() : speaker->lastFailure());
    }

    void note(const std::wstring& text) { SetDlgItemTextW(window(), IDC_SPEECH_NOTE, text.c_str()); }

    std::vector<VoiceInfo> voices_;
    bool voiceChosen_ = false;
};

}  // namespace

std::unique_ptr<SheetPage> makeSpeechPage(OptionsContext& context)
{
    return std::make_unique<SpeechPage>(context);
}
