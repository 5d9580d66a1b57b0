// The program's name: its single-instance mutex, the owner window's class,
// the tray icon's first tooltip, the options sheet's caption and the Run
// value all carry it.
#pragma once

constexpr wchar_t appName[] = L"Mivora";
