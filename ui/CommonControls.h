// The common controls (comctl32) and common dialogs (comdlg32), loaded when
// the options sheet first needs them instead of at start. Only the sheet and
// its pages use them; linking them would load both (and what they pull in)
// into every start, for a sheet most starts never open.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <prsht.h>

#include "win/Handles.h"

// The functions the sheet and its pages call, all resolved or none.
struct CommonControlsApi {
    BOOL(WINAPI* initCommonControlsEx)(const INITCOMMONCONTROLSEX*) = nullptr;
    INT_PTR(WINAPI* propertySheet)(LPCPROPSHEETHEADERW) = nullptr;
    HIMAGELIST(WINAPI* imageListCreate)(int, int, UINT, int, int) = nullptr;
    BOOL(WINAPI* imageListDestroy)(HIMAGELIST) = nullptr;
    BOOL(WINAPI* chooseFont)(LPCHOOSEFONTW) = nullptr;
    BOOL(WINAPI* chooseColor)(LPCHOOSECOLORW) = nullptr;
    BOOL(WINAPI* getOpenFileName)(LPOPENFILENAMEW) = nullptr;
};

// Loads both libraries on the first call (by their plain system names:
// under the manifest's activation context that gives common controls 6)
// and resolves every function. nullptr when anything is missing; the
// answer is kept, so a failed load is not retried. The modules stay loaded
// for the rest of the process, freed at its exit after every window is gone:
// the sheet's controls (tab, list view) are comctl32's window classes.
// UI thread only.
const CommonControlsApi* commonControls();
