// The window procedure of a window that one object owns: the object passes
// itself as CreateWindowExW's creation parameter, is found again through
// GWLP_USERDATA for every later message, holds the handle in a
// UniqueWindow from WM_NCCREATE on, and lets go of it at WM_NCDESTROY, when
// the window is gone and must not be destroyed a second time.
#pragma once

#include <windows.h>

#include "win/Handles.h"

// Object::*Window is where the object keeps its window; Object::*OnMessage
// handles every message once the object is known (before WM_NCCREATE
// nothing is). Name the members from inside Object, where they are
// accessible: `windowClass.lpfnWndProc = objectWindowProc<App, &App::window_,
// &App::onMessage>`.
template <class Object, UniqueWindow Object::*Window, LRESULT (Object::*OnMessage)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK objectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* object = reinterpret_cast<Object*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        object = static_cast<Object*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        // The handlers of the first messages already find the window.
        if (object != nullptr) (object->*Window).reset(window);
    }
    if (object == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = (object->*OnMessage)(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        (object->*Window).release();
    }
    return result;
}
