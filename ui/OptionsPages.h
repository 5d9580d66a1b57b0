// The options sheet's pages, in the order of their tabs: one line each, with
// the page's name in the program, its dialog template (res/Mivora.rc, ids in
// res/resource.h), its tab title and the function in the page's own file that
// makes it. The enum, the sheet's table and the makers' declarations all come
// from this one list.
#pragma once

#include <memory>

#include "res/resource.h"
#include "ui/SheetPage.h"

// PAGE(name, template id, tab title, maker)
#define MIVORA_OPTIONS_PAGES(PAGE)                                                                                     \
    PAGE(kSettingsPage, IDD_SETTINGS_PAGE, L"设置", makeSettingsPage)                                                  \
    PAGE(kLibraryPage, IDD_LIBRARY_PAGE, L"词库", makeLibraryPage)                                                     \
    PAGE(kStatsPage, IDD_STATS_PAGE, L"统计", makeStatsPage)                                                           \
    PAGE(kSpeechPage, IDD_SPEECH_PAGE, L"朗读", makeSpeechPage)                                                        \
    PAGE(kHotkeysPage, IDD_HOTKEYS_PAGE, L"热键", makeHotkeysPage)                                                     \
    PAGE(kAboutPage, IDD_ABOUT_PAGE, L"关于", makeAboutPage)

enum OptionsPage : int {
#define MIVORA_PAGE_NAME(name, templateId, title, make) name,
    MIVORA_OPTIONS_PAGES(MIVORA_PAGE_NAME)
#undef MIVORA_PAGE_NAME
        kOptionsPageCount
};

#define MIVORA_PAGE_MAKER(name, templateId, title, make) std::unique_ptr<SheetPage> make(OptionsContext& context);
MIVORA_OPTIONS_PAGES(MIVORA_PAGE_MAKER)
#undef MIVORA_PAGE_MAKER

struct OptionsPageKind {
    int templateId;
    const wchar_t* title;
    std::unique_ptr<SheetPage> (*make)(OptionsContext& context);
};

inline constexpr OptionsPageKind kOptionsPages[kOptionsPageCount] = {
#define MIVORA_PAGE_KIND(name, templateId, title, make) {templateId, title, make},
    MIVORA_OPTIONS_PAGES(MIVORA_PAGE_KIND)
#undef MIVORA_PAGE_KIND
};
