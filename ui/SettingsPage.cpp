// The settings page of the options sheet.
#include "ui/OptionsPages.h"

INT_PTR CALLBACK settingsPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
