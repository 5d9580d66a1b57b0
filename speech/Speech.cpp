#include "speech/Speech.h"

#include <objbase.h>
#include <sapi.h>

#include <cwchar>
#include <sperror.h>

#include "store/text/Text.h"
#include "win/Messages.h"

namespace {

// Releases a COM interface when it goes out of scope.
template <class Interface>
class Held {
public:
    Held() = default;
    ~Held()
    {
        if (p_ != nullptr) p_->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    Interface* operator->() const { return p_; }
    Interface* get() const { return p_; }
    void** out() { return reinterpret_cast<void**>(&p_); }
    Interface** typed() { return &p_; }

private:
    Interface* p_ = nullptr;
};

std::u16string fromWide(const wchar_t* text)
{
    std::u16string out;
    if (text != nullptr)
        for (; *text != L'\0'; ++text) out.push_back(static_cast<char16_t>(*text));
    return out;
}

}  // namespace

bool Speech::startCom()
{
    if (comStarted_) return true;
    if (comFailed_ || down_) return false;
    ole_.reset(LoadLibraryW(L"ole32.dll"));
    coInitializeEx_ =
        reinterpret_cast<decltype(coInitializeEx_)>(reinterpret_cast<void*>(findExport(ole_, "CoInitializeEx")));
    coUninitialize_ =
        reinterpret_cast<decltype(coUninitialize_)>(reinterpret_cast<void*>(findExport(ole_, "CoUninitialize")));
    coCreateInstance_ =
        reinterpret_cast<decltype(coCreateInstance_)>(reinterpret_cast<void*>(findExport(ole_, "CoCreateInstance")));
    coTaskMemFree_ =
        reinterpret_cast<decltype(coTaskMemFree_)>(reinterpret_cast<void*>(findExport(ole_, "CoTaskMemFree")));
    // S_FALSE (the options sheet's shell call has it initialised right now)
    // is balanced by shutdown() as well.
    if (coInitializeEx_ == nullptr || coUninitialize_ == nullptr || coCreateInstance_ == nullptr ||
        coTaskMemFree_ == nullptr ||
        FAILED(coInitializeEx_(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
        comFailed_ = true;
        return false;
    }
    comStarted_ = true;
    return true;
}

void Speech::forEachToken(const std::function<bool(ISpObjectToken*, VoiceInfo&)>& visit)
{
    for (const wchar_t* categoryId : {kDesktopVoices, kOneCoreVoices}) {
        Held<ISpObjectTokenCategory> category;
        Held<IEnumSpObjectTokens> tokens;
        ULONG count = 0;
        // Windows 7 has no OneCore key: that category simply gives nothing.
        if (FAILED(coCreateInstance_(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ISpObjectTokenCategory, category.out())) ||
            FAILED(category->SetId(categoryId, FALSE)) ||
            FAILED(category->EnumTokens(nullptr, nullptr, tokens.typed())) || tokens.get() == nullptr ||
            FAILED(tokens->GetCount(&count)))
            continue;
        for (ULONG i = 0; i < count; ++i) {
            Held<ISpObjectToken> token;
            if (FAILED(tokens->Item(i, token.typed())) || token.get() == nullptr) continue;
            VoiceInfo voice;
            WCHAR* text = nullptr;
            if (FAILED(token->GetId(&text)) || text == nullptr) continue;
            voice.id = fromWide(text);
            coTaskMemFree_(text);
            text = nullptr;
            if (SUCCEEDED(token->GetStringValue(nullptr, &text))) {
                voice.name = fromWide(text);
                coTaskMemFree_(text);
                text = nullptr;
            }
            Held<ISpDataKey> attributes;
            if (SUCCEEDED(token->OpenKey(L"Attributes", attributes.typed())) &&
                SUCCEEDED(attributes->GetStringValue(L"Language", &text))) {
                voice.languages = fromWide(text);
                coTaskMemFree_(text);
            }
            if (voice.name.empty()) voice.name = voice.id;
            if (!visit(token.get(), voice)) return;
        }
    }
}

const std::vector<VoiceInfo>& Speech::voices()
{
    if (voicesRead_ || !startCom()) return voices_;
    voicesRead_ = true;
    forEachToken([this](ISpObjectToken*, VoiceInfo& voice) {
        bool known = false;
        for (const VoiceInfo& listed : voices_) known = known || equalNoCase(listed.id, voice.id);
        if (!known) voices_.push_back(std::move(voice));
        return true;
    });
    return voices_;
}

// The voice is given the token the enumeration hands out: a token made
// afresh from its id is refused by some implementations.
HRESULT Speech::setVoice(const std::u16string& id)
{
    HRESULT result = SPERR_NOT_FOUND;
    forEachToken([&](ISpObjectToken* token, VoiceInfo& voice) {
        if (!equalNoCase(voice.id, id)) return true;
        result = voice_->SetVoice(token);
        return false;
    });
    return result;
}

void Speech::fail(const wchar_t* title, const std::wstring& text, bool& told)
{
    lastFailure_ = text;
    if (told) return;
    told = true;
    if (tell_) tell_(title, text);
}

bool Speech::ensureVoice()
{
    if (voice_ != nullptr) return true;
    if (FAILED(coCreateInstance_(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice, reinterpret_cast<void**>(&voice_))))
        return false;
    // With SPF_ASYNC a failure of the audio device comes after Speak has
    // returned: the end of each text is reported to the window, which asks
    // how it went. A voice that cannot report is taken at its word.
    const ULONGLONG endOfText = SPFEI(SPEI_END_INPUT_STREAM);
    notifying_ = notifyWindow_ != nullptr && SUCCEEDED(voice_->SetInterest(endOfText, endOfText)) &&
                 SUCCEEDED(voice_->SetNotifyWindowMessage(notifyWindow_, WM_SPEECH_EVENT, 0, 0));
    return true;
}

void Speech::failWith(HRESULT result)
{
    wchar_t text[160];
    std::swprintf(text, std::size(text),
                  L"Windows 的语音功能不可用（错误 0x%08lX），单词没能读出来。请检查声音设备和语音设置。",
                  static_cast<unsigned long>(result));
    fail(kSpeechFailedTitle, text, failureTold_);
}

void Speech::onSpeechEvent()
{
    if (voice_ == nullptr || down_) return;
    bool ended = false;
    SPEVENT event{};
    ULONG fetched = 0;
    while (voice_->GetEvents(1, &event, &fetched) == S_OK && fetched == 1) {
        ended = ended || event.eEventId == SPEI_END_INPUT_STREAM;
        // What an event carries is the receiver's to free.
        if (event.elParamType == SPET_LPARAM_IS_POINTER || event.elParamType == SPET_LPARAM_IS_STRING)
            coTaskMemFree_(reinterpret_cast<void*>(event.lParam));
        else if ((event.elParamType == SPET_LPARAM_IS_TOKEN || event.elParamType == SPET_LPARAM_IS_OBJECT) &&
                 event.lParam != 0)
            reinterpret_cast<IUnknown*>(event.lParam)->Release();
        event = SPEVENT{};
    }
    if (!ended) return;
    SPVOICESTATUS status{};
    if (FAILED(voice_->GetStatus(&status, nullptr))) return;
    if (FAILED(status.hrLastResult)) {
        failWith(status.hrLastResult);
        return;
    }
    failureTold_ = false;
}

bool Speech::speakWith(std::u16string_view word, const SpeechSettings& settings)
{
    if (down_ || word.empty()) return false;
    HRESULT result = E_FAIL;
    if (startCom()) {
        const std::vector<VoiceInfo>& list = voices();
        const std::optional<std::size_t> chosen = chooseVoice(list, settings.voice);
        if (!chosen) {
            fail(kNoEnglishVoiceTitle, kNoEnglishVoiceText, noVoiceTold_);
            return false;
        }
        result = ensureVoice() ? S_OK : REGDB_E_CLASSNOTREG;
        const std::u16string& id = list[*chosen].id;
        if (SUCCEEDED(result) && id != voiceId_) {
            result = setVoice(id);
            voiceId_ = SUCCEEDED(result) ? id : std::u16string();
        }
        if (SUCCEEDED(result)) {
            voice_->SetRate(settings.rate);
            voice_->SetVolume(static_cast<USHORT>(settings.volume));
            // Plain text: a word such as "<b>" or "R&D" is read, never
            // taken for markup. Asynchronous: queued, and the call returns.
            const std::wstring text(word.begin(), word.end());
            result = voice_->Speak(text.c_str(), SPF_ASYNC | SPF_PURGEBEFORESPEAK | SPF_IS_NOT_XML, nullptr);
        }
    }
    if (FAILED(result)) {
        failWith(result);
        return false;
    }
    // Said, or at least begun: with the end reported, a failure told
    // stays told until a text has been said to its end.
    lastFailure_.clear();
    if (!notifying_) failureTold_ = false;
    return true;
}

void Speech::stop()
{
    if (voice_ != nullptr) voice_->Speak(nullptr, SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr);
}

void Speech::shutdown()
{
    if (down_) return;
    down_ = true;
    bool silent = true;
    if (voice_ != nullptr) {
        stop();
        silent = voice_->WaitUntilDone(kSpeechStopWaitMs) == S_OK;
        // A voice still busy after the wait hangs on its audio device: it is
        // left as it is (the process is ending), and so is COM, which its
        // thread may still be using.
        if (silent) voice_->Release();
        voice_ = nullptr;
    }
    if (comStarted_ && silent) coUninitialize_();
    if (!silent) static_cast<void>(ole_.release());
    comStarted_ = false;
}
