// The dialog procedures of the options sheet's four pages, one file each.
// Each page finds its sheet, and through it the program, in its
// WM_INITDIALOG (sheetOfNewPage).
#pragma once

#include <windows.h>

INT_PTR CALLBACK settingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK libraryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK hotkeysPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK aboutPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
