// Temporary: replaced by the options sheet.
#include "ui/OptionsSheet.h"

HWND openSheet = nullptr;

void openOptionsSheet(HWND, int) {}
