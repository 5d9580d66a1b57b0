// The ids of every timer the program sets, by window, so that no two timers
// of one window ever share an id.
#pragma once

#include <windows.h>

// The word window's.
constexpr UINT_PTR TIMER_SWITCH = 1;  // advance every switchSeconds
constexpr UINT_PTR TIMER_PROBE = 2;   // one-shot: capture a window or sample the screen
constexpr UINT_PTR TIMER_TITLE = 3;   // rewrite the captured window's title
constexpr UINT_PTR TIMER_REVEAL = 4;  // one-shot: the hidden meaning shows

// The owner window's. Progress is otherwise written only when the program
// ends, so a crash or a power cut would lose a whole day of study.
constexpr UINT_PTR TIMER_SAVE_PROGRESS = 1;
// At log-on the program may start before the notification area exists: a
// failed add of the icon is retried on this timer.
constexpr UINT_PTR TIMER_TRAY_RETRY = 2;
// A look at the progress file on disk, which a sync program may replace
// with another PC's save while the program runs.
constexpr UINT_PTR TIMER_CHECK_PROGRESS = 3;
