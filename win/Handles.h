// Owners of Windows handles and GDI and USER objects: each frees what it
// holds exactly once, can be moved and never copied, so every object of the
// program has one owner that creates and frees it.
#pragma once

#include <windows.h>

#include <utility>

// One owned handle of type Handle, freed by Traits::close. Traits::invalid()
// is the value that owns nothing.
template <class Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : handle_(handle) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::invalid(); }
    // Frees what is held and takes `handle` instead. Freed only after the
    // new one is in place, so no caller ever sees a freed handle here.
    void reset(Handle handle = Traits::invalid())
    {
        const Handle previous = std::exchange(handle_, handle);
        if (previous != Traits::invalid() && previous != handle) Traits::close(previous);
    }
    Handle release() { return std::exchange(handle_, Traits::invalid()); }

private:
    Handle handle_ = Traits::invalid();
};

namespace handles {

struct KernelHandle {
    using Handle = HANDLE;
    static Handle invalid() { return nullptr; }
    static void close(Handle handle) { CloseHandle(handle); }
};

struct FindHandle {
    using Handle = HANDLE;
    static Handle invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Handle handle) { FindClose(handle); }
};

template <class GdiHandle>
struct GdiObject {
    using Handle = GdiHandle;
    static Handle invalid() { return nullptr; }
    static void close(Handle handle) { DeleteObject(handle); }
};

// A memory device context of CreateCompatibleDC.
struct MemoryDC {
    using Handle = HDC;
    static Handle invalid() { return nullptr; }
    static void close(Handle handle) { DeleteDC(handle); }
};

struct Menu {
    using Handle = HMENU;
    static Handle invalid() { return nullptr; }
    static void close(Handle handle) { DestroyMenu(handle); }
};

struct Icon {
    using Handle = HICON;
    static Handle invalid() { return nullptr; }
    static void close(Handle handle) { DestroyIcon(handle); }
};

struct Module {
    using Handle = HMODULE;
    static Handle invalid() { return nullptr; }
    static void close(Handle handle) { FreeLibrary(handle); }
};

struct Window {
    using Handle = HWND;
    static Handle invalid() { return nullptr; }
    static void close(Handle handle) { DestroyWindow(handle); }
};

struct RegistryKey {
    using Handle = HKEY;
    static Handle invalid() { return nullptr; }
    static void close(Handle handle) { RegCloseKey(handle); }
};

}  // namespace handles

using UniqueHandle = UniqueResource<handles::KernelHandle>;
using UniqueFind = UniqueResource<handles::FindHandle>;
template <class GdiHandle>
using GdiObject = UniqueResource<handles::GdiObject<GdiHandle>>;
using UniqueFont = GdiObject<HFONT>;
using UniqueBrush = GdiObject<HBRUSH>;
using UniqueBitmap = GdiObject<HBITMAP>;
using UniqueDC = UniqueResource<handles::MemoryDC>;
using UniqueMenu = UniqueResource<handles::Menu>;
using UniqueIcon = UniqueResource<handles::Icon>;
using LoadedModule = UniqueResource<handles::Module>;
using UniqueWindow = UniqueResource<handles::Window>;
using UniqueRegKey = UniqueResource<handles::RegistryKey>;

// The address of an export of a loaded module, or nullptr (also without a
// module).
inline FARPROC findExport(const LoadedModule& module, const char* name)
{
    return module ? GetProcAddress(module.get(), name) : nullptr;
}

// Device context of a window (of the whole screen for nullptr), released
// on scope exit.
class WindowDC {
public:
    explicit WindowDC(HWND window, bool wholeWindow = false)
        : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window))
    {}
    ~WindowDC()
    {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back on scope
// exit, so a DC never goes back to the system holding our font.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object != nullptr ? SelectObject(dc, object) : nullptr)
    {}
    ~SelectedObject()
    {
        if (previous_ != nullptr) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};
