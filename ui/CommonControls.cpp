#include "ui/CommonControls.h"

namespace {

// GetProcAddress gives a FARPROC; each pointer gets its declared type here.
template <typename Function>
bool resolve(const LoadedModule& module, const char* name, Function& target)
{
    const FARPROC found = findExport(module, name);
    if (found == nullptr) return false;
    target = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
    return true;
}

struct LoadedCommonControls {
    LoadedModule controls{LoadLibraryW(L"comctl32.dll")};
    LoadedModule dialogs{LoadLibraryW(L"comdlg32.dll")};
    CommonControlsApi api;
    bool complete = resolve(controls, "InitCommonControlsEx", api.initCommonControlsEx) &&
                    resolve(controls, "PropertySheetW", api.propertySheet) &&
                    resolve(controls, "ImageList_Create", api.imageListCreate) &&
                    resolve(controls, "ImageList_Destroy", api.imageListDestroy) &&
                    resolve(dialogs, "ChooseFontW", api.chooseFont) &&
                    resolve(dialogs, "ChooseColorW", api.chooseColor) &&
                    resolve(dialogs, "GetOpenFileNameW", api.getOpenFileName);
};

}  // namespace

const CommonControlsApi* commonControls()
{
    static const LoadedCommonControls loaded;
    return loaded.complete ? &loaded.api : nullptr;
}
