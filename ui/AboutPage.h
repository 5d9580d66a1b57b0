// What the about page offers beyond its dialog procedure (OptionsPages.h).
#pragma once

#include <windows.h>

// Opens a link target the way the shell opens a double-clicked file, in a
// window of `show` state. The page uses ShellExecuteW; tests put a recorder
// in its place so that no browser or Explorer window is started.
using LinkOpener = void (*)(const wchar_t* target, int show);
void setLinkOpener(LinkOpener opener);  // nullptr: the shell again

// The build line "Build:<date> <time>" from the compiler's __DATE__ and
// __TIME__ ("Mar  6 2020", "14:10:10"), as the page shows it.
const wchar_t* buildLine();
