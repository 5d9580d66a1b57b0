// What the settings page keeps beyond one opening of the options sheet.
#pragma once

#include <windows.h>
#include <commdlg.h>

// The colour dialog's 16 custom colours: black at start, kept from one use
// of the dialog to the next for the life of the process, never saved.
extern COLORREF customColors[16];

// The common dialogs the page opens. Tests put stand-ins here, since a real
// modal dialog would wait for a person.
struct SettingsPageDialogs {
    BOOL(WINAPI* chooseFont)(LPCHOOSEFONTW);
    BOOL(WINAPI* chooseColor)(LPCHOOSECOLORW);
};
extern SettingsPageDialogs settingsPageDialogs;
