#include "win/Dpi.h"

#include <climits>
#include <cstdint>

#include "win/Handles.h"

namespace {

// GetProcAddress gives a FARPROC; each pointer gets its declared type here.
template <typename Function>
Function exported(const wchar_t* module, const char* name)
{
    HMODULE handle = GetModuleHandleW(module);
    if (handle == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SetThreadDpiAwarenessContextFunction = HANDLE(WINAPI*)(HANDLE);
// DPI_AWARENESS_CONTEXT_SYSTEM_AWARE.
const HANDLE kSystemAwareContext = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));
using GetDpiForSystemFunction = UINT(WINAPI*)();
// MONITOR_DPI_TYPE is an enum of int size; MDT_EFFECTIVE_DPI is 0.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;

// shcore (Windows 8.1 and later) is not linked: a program that links it
// would not start on Windows 7. Loaded once, kept for the process.
GetDpiForMonitorFunction getDpiForMonitor()
{
    static const GetDpiForMonitorFunction function = []() -> GetDpiForMonitorFunction {
        HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (shcore == nullptr) return nullptr;
        return reinterpret_cast<GetDpiForMonitorFunction>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    }();
    return function;
}

UINT usable(UINT dpi)
{
    return dpi != 0 ? dpi : kBaseDpi;
}

}  // namespace

int scaleBetweenDpi(int value, UINT from, UINT to)
{
    from = usable(from);
    to = usable(to);
    const std::int64_t magnitude = value < 0 ? -static_cast<std::int64_t>(value) : value;
    const std::int64_t scaled = (magnitude * to + from / 2) / from;
    const std::int64_t result = value < 0 ? -scaled : scaled;
    if (result > INT_MAX) return INT_MAX;
    if (result < INT_MIN) return INT_MIN;
    return static_cast<int>(result);
}

LONG fontHeightForDpi(LONG height96, UINT dpi)
{
    const int scaled = scaleToDpi(height96, dpi);
    if (scaled == 0 && height96 != 0) return height96 < 0 ? -1 : 1;
    return scaled;
}

LONG fontHeightFromDpi(LONG chosen, UINT dpi, LONG stored96)
{
    if (fontHeightForDpi(stored96, dpi) == chosen) return stored96;
    const int back = scaleBetweenDpi(chosen, dpi, kBaseDpi);
    if (back == 0 && chosen != 0) return chosen < 0 ? -1 : 1;
    return back;
}

UINT systemDpi()
{
    static const auto forSystem = exported<GetDpiForSystemFunction>(L"user32.dll", "GetDpiForSystem");
    if (forSystem != nullptr) return usable(forSystem());
    const WindowDC screen(nullptr);
    if (screen.get() == nullptr) return kBaseDpi;
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT dpiForMonitor(HMONITOR monitor)
{
    UINT x = 0;
    UINT y = 0;
    if (const auto function = getDpiForMonitor();
        function != nullptr && monitor != nullptr && SUCCEEDED(function(monitor, kEffectiveDpi, &x, &y)) && y != 0)
        return y;
    return systemDpi();
}

UINT dpiForWindow(HWND window)
{
    static const auto forWindow = exported<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (window != nullptr && forWindow != nullptr) {
        if (const UINT dpi = forWindow(window); dpi != 0) return dpi;
    }
    // Windows 8.1: no DPI of a window, but one of its monitor.
    return window != nullptr ? dpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)) : systemDpi();
}

UINT dpiAtPoint(POINT point)
{
    return dpiForMonitor(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

namespace {

SetThreadDpiAwarenessContextFunction setThreadDpiAwarenessContext()
{
    static const auto function =
        exported<SetThreadDpiAwarenessContextFunction>(L"user32.dll", "SetThreadDpiAwarenessContext");
    return function;
}

}  // namespace

SystemDpiAwareness::SystemDpiAwareness()
{
    if (const auto set = setThreadDpiAwarenessContext()) previous_ = set(kSystemAwareContext);
}

SystemDpiAwareness::~SystemDpiAwareness()
{
    if (const auto set = setThreadDpiAwarenessContext(); set != nullptr && previous_ != nullptr) set(previous_);
}
