// The program's name: its single-instance mutex, the owner window's class,
// the tray icon's first tooltip, the options sheet's caption and the Run
// value all carry it.
#pragma once

constexpr wchar_t appName[] = L"Mivora";

// Set on the owner window while it is being destroyed (the exit's saves of
// the settings run then): a second start that finds the window hands its
// request to no program that is ending, and waits for it to end instead.
constexpr wchar_t kOwnerClosingProperty[] = L"Mivora.Closing";
