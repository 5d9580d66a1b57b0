// The about page of the options sheet.
#include "ui/OptionsPages.h"

INT_PTR CALLBACK aboutPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
