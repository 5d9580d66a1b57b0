// What the word-library page offers to the rest of the program besides its
// place in the page list (OptionsPages.h): the commands of its
// remembered-words menu.
#pragma once

#include <windows.h>

// Carries out command `command` of the remembered-words menu ("忘记",
// "删除"; 0 when the menu was dismissed) on row `row` of `view`, the page's
// list view, and on every other selected row when `row` is selected.
// "删除" asks first, once.
void runRememberedCommand(HWND view, int row, UINT command);
