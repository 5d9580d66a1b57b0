/* A stand-in for the speech system's voice object (CLSID_SpVoice), for the
 * tests: registered in the test prefix in place of Wine's own, it writes
 * each text it is asked to say, with the flags of the call, as a line of
 * UTF-8 to "spoken.txt" beside this DLL ("<flags in hex> <text>"); a purge
 * without text is the line "<flags> -". The end of each text is reported to
 * the window SetNotifyWindowMessage names, at once; a text that begins with
 * "unplugged" ends as a headset pulled out while it is said does
 * (GetStatus's hrLastResult). Every other method of ISpVoice answers
 * E_NOTIMPL, which the program must never need. */
#include <windows.h>

#include <objbase.h>
#include <sapi.h>

#include <stdio.h>
#include <wchar.h>

static const GUID kClsidSpVoice = {0x96749377, 0x3391, 0x11D2, {0x9E, 0xE3, 0x00, 0xC0, 0x4F, 0x79, 0x73, 0x96}};
static const GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const GUID kIidClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
static const GUID kIidSpVoice = {0x6C44DF74, 0x72B9, 0x4992, {0xA1, 0xEC, 0xEF, 0x99, 0x6E, 0x04, 0x22, 0xD4}};

static HMODULE module_;
static LONG objects_;

/* ISpVoice's methods in the order of its vtable, IUnknown's first. */
enum {
    kQueryInterface,
    kAddRef,
    kRelease,
    kSetNotifyWindowMessage = 4,
    kSetInterest = 10,
    kGetEvents = 11,
    kSetVoice = 18,
    kSpeak = 20,
    kGetStatus = 22,
    kSetRate = 28,
    kSetVolume = 30,
    kWaitUntilDone = 32,
    kVoiceMethods = 38
};

typedef struct Voice {
    void** vtable;
    LONG references;
} Voice;

static HRESULT WINAPI notImplemented(void* self)
{
    (void)self;
    return E_NOTIMPL;
}

static void logLine(DWORD flags, const WCHAR* text)
{
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module_, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') --length;
    lstrcpyW(path + length, L"spoken.txt");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    char line[4096];
    int used = sprintf(line, "%lx ", (unsigned long)flags);
    if (text == NULL) {
        line[used++] = '-';
    } else {
        used += WideCharToMultiByte(CP_UTF8, 0, text, -1, line + used, (int)sizeof line - used - 2, NULL, NULL) - 1;
    }
    line[used++] = '\n';
    DWORD written = 0;
    WriteFile(file, line, (DWORD)used, &written, NULL);
    CloseHandle(file);
}

static HRESULT WINAPI voiceQueryInterface(Voice* self, REFIID iid, void** out)
{
    if (IsEqualGUID(iid, &kIidUnknown) || IsEqualGUID(iid, &kIidSpVoice)) {
        *out = self;
        InterlockedIncrement(&self->references);
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static ULONG WINAPI voiceAddRef(Voice* self)
{
    return (ULONG)InterlockedIncrement(&self->references);
}

static ULONG WINAPI voiceRelease(Voice* self)
{
    LONG left = InterlockedDecrement(&self->references);
    if (left == 0) {
        HeapFree(GetProcessHeap(), 0, self);
        InterlockedDecrement(&objects_);
    }
    return (ULONG)left;
}

static HRESULT WINAPI voiceSucceed(Voice* self)
{
    (void)self;
    return S_OK;
}

/* The window told of each text's end, and what the last text came to. */
static HWND notifyWindow_;
static UINT notifyMessage_;
static WPARAM notifyWParam_;
static LPARAM notifyLParam_;
static LONG endsPending_;
static HRESULT lastResult_;

static HRESULT WINAPI voiceSetNotifyWindowMessage(Voice* self, HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam)
{
    (void)self;
    notifyWindow_ = window;
    notifyMessage_ = message;
    notifyWParam_ = wParam;
    notifyLParam_ = lParam;
    return S_OK;
}

static HRESULT WINAPI voiceSetInterest(Voice* self, ULONGLONG events, ULONGLONG queued)
{
    (void)self;
    (void)events;
    (void)queued;
    return S_OK;
}

static HRESULT WINAPI voiceGetEvents(Voice* self, ULONG count, SPEVENT* events, ULONG* fetched)
{
    (void)self;
    *fetched = 0;
    if (count == 0 || InterlockedExchange(&endsPending_, 0) == 0) return S_FALSE;
    ZeroMemory(events, sizeof *events);
    events->eEventId = SPEI_END_INPUT_STREAM;
    events->elParamType = SPET_LPARAM_IS_UNDEFINED;
    events->ulStreamNum = 1;
    *fetched = 1;
    return count == 1 ? S_OK : S_FALSE;
}

static HRESULT WINAPI voiceGetStatus(Voice* self, SPVOICESTATUS* status, WCHAR** bookmark)
{
    (void)self;
    ZeroMemory(status, sizeof *status);
    status->hrLastResult = lastResult_;
    if (bookmark != NULL) *bookmark = NULL;
    return S_OK;
}

static HRESULT WINAPI voiceSpeak(Voice* self, const WCHAR* text, DWORD flags, ULONG* stream)
{
    (void)self;
    logLine(flags, text);
    if (stream != NULL) *stream = 1;
    if (text != NULL) {
        /* AUDCLNT_E_DEVICE_INVALIDATED */
        lastResult_ = wcsncmp(text, L"unplugged", 9) == 0 ? (HRESULT)0x88890004L : S_OK;
        InterlockedIncrement(&endsPending_);
        if (notifyWindow_ != NULL) PostMessageW(notifyWindow_, notifyMessage_, notifyWParam_, notifyLParam_);
    }
    return S_OK;
}

static HRESULT WINAPI voiceWaitUntilDone(Voice* self, ULONG milliseconds)
{
    (void)self;
    (void)milliseconds;
    return S_OK;
}

static void* voiceTable[kVoiceMethods];

static HRESULT WINAPI factoryQueryInterface(IClassFactory* self, REFIID iid, void** out)
{
    if (IsEqualGUID(iid, &kIidUnknown) || IsEqualGUID(iid, &kIidClassFactory)) {
        *out = self;
        return S_OK;
    }
    *out = NULL;
    return E_NOINTERFACE;
}

static ULONG WINAPI factoryAddRef(IClassFactory* self)
{
    (void)self;
    return 2;
}

static ULONG WINAPI factoryRelease(IClassFactory* self)
{
    (void)self;
    return 1;
}

static HRESULT WINAPI factoryCreateInstance(IClassFactory* self, IUnknown* outer, REFIID iid, void** out)
{
    (void)self;
    *out = NULL;
    if (outer != NULL) return CLASS_E_NOAGGREGATION;
    if (voiceTable[0] == NULL) {
        for (int i = 0; i < kVoiceMethods; ++i) voiceTable[i] = (void*)notImplemented;
        voiceTable[kQueryInterface] = (void*)voiceQueryInterface;
        voiceTable[kAddRef] = (void*)voiceAddRef;
        voiceTable[kRelease] = (void*)voiceRelease;
        voiceTable[kSetVoice] = (void*)voiceSucceed;
        voiceTable[kSpeak] = (void*)voiceSpeak;
        voiceTable[kSetNotifyWindowMessage] = (void*)voiceSetNotifyWindowMessage;
        voiceTable[kSetInterest] = (void*)voiceSetInterest;
        voiceTable[kGetEvents] = (void*)voiceGetEvents;
        voiceTable[kGetStatus] = (void*)voiceGetStatus;
        voiceTable[kSetRate] = (void*)voiceSucceed;
        voiceTable[kSetVolume] = (void*)voiceSucceed;
        voiceTable[kWaitUntilDone] = (void*)voiceWaitUntilDone;
    }
    Voice* voice = (Voice*)HeapAlloc(GetProcessHeap(), 0, sizeof *voice);
    if (voice == NULL) return E_OUTOFMEMORY;
    voice->vtable = voiceTable;
    voice->references = 1;
    InterlockedIncrement(&objects_);
    HRESULT result = voiceQueryInterface(voice, iid, out);
    voiceRelease(voice);
    return result;
}

static HRESULT WINAPI factoryLockServer(IClassFactory* self, BOOL lock)
{
    (void)self;
    (void)lock;
    return S_OK;
}

static IClassFactoryVtbl factoryTable = {factoryQueryInterface, factoryAddRef, factoryRelease, factoryCreateInstance,
                                         factoryLockServer};
static IClassFactory factory = {&factoryTable};

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!IsEqualGUID(clsid, &kClsidSpVoice)) {
        *out = NULL;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factoryQueryInterface(&factory, iid, out);
}

__declspec(dllexport) HRESULT WINAPI DllCanUnloadNow(void)
{
    return objects_ == 0 ? S_OK : S_FALSE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) module_ = instance;
    return TRUE;
}
