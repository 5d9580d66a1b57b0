#!/usr/bin/env python3
"""Watches the top-level X windows of Mivora.exe for the benchmarks and scenarios.

Wine names the X windows' class after the executable ("mivora.exe") and
sizes the word window's X window with every layout, so the moment the word
window leaves its loading line shows up here as a change of size. Polling
through Xlib directly (a few round trips every 2 ms) keeps the figure close
to what the screen shows; a loop of xdotool calls would add tens of
milliseconds of its own.

    watch_windows.py settled <timeout s>
        waits until a visible window of the program has kept one size for a
        second; prints "WIDTHxHEIGHT".
    watch_windows.py changed <WIDTHxHEIGHT> <timeout s> <ready file>
        touches the ready file once connected, then waits until a visible
        window of the program has a size other than the given one; prints
        "<microseconds since the epoch> WIDTHxHEIGHT".
    watch_windows.py saved <dic folder> <pid> <ready file>
        touches the ready file once watching, then follows the writes in the
        folder until the process has ended; prints "<microseconds>" from the
        first file created or written there to DAvud.bin in place (its
        temporary file renamed, or the file itself closed), or "-" when
        nothing was saved.
    watch_windows.py steady <x> <y> <width> <height> <seconds> <looks>
        looks at that part of the screen as often as it can, for at least
        the given seconds and the given number of looks; prints "<looks>
        <changes> <milliseconds>": how many looks, how many of them differed
        from the one before, and the time from the start of the first look
        to the end of the last.
Exit status 1 on timeout.
"""
import ctypes
import ctypes.util
import os
import select
import struct
import sys
import time

CLASS = b"mivora.exe"
IS_VIEWABLE = 2
# Wine keeps a window that has no size yet as a tiny X window; nothing the
# program lays out is smaller than this.
MIN_SIDE = 5


class XClassHint(ctypes.Structure):
    _fields_ = [("res_name", ctypes.c_void_p), ("res_class", ctypes.c_void_p)]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_int), ("y", ctypes.c_int),
        ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
        ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
        ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
        ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
        ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
        ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
        ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
        ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
        ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
        ("screen", ctypes.c_void_p),
    ]


class XImage(ctypes.Structure):
    # Only the fields up to bits_per_pixel are read; Xlib allocates the
    # structure and frees it.
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
        ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
    ]


ALL_PLANES = 0xFFFFFFFF
Z_PIXMAP = 2

ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
# A window may be destroyed between listing and asking about it; Xlib's
# default handler would end the process for that.
_ignore_errors = ERROR_HANDLER(lambda display, event: 0)


class Screen:
    def __init__(self):
        self.x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                      ctypes.POINTER(ctypes.c_ulong),
                                      ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                      ctypes.POINTER(ctypes.c_uint)]
        self.x.XGetClassHint.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XClassHint)]
        self.x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                ctypes.POINTER(XWindowAttributes)]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XDestroyImage.argtypes = [ctypes.POINTER(XImage)]
        self.x.XSetErrorHandler(_ignore_errors)
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            sys.exit("cannot open the X display")
        self.root = self.x.XDefaultRootWindow(self.display)

    def pixels(self, x, y, width, height):
        """The bytes of that part of the root window, as the server has it
        at one moment (one request)."""
        image = self.x.XGetImage(self.display, self.root, x, y, width, height, ALL_PLANES, Z_PIXMAP)
        if not image:
            return None
        data = ctypes.string_at(image.contents.data, image.contents.bytes_per_line * image.contents.height)
        self.x.XDestroyImage(image)
        return data

    def program_sizes(self):
        """(width, height) of each visible top-level window of the program."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.x.XQueryTree(self.display, self.root, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count)):
            return []
        windows = [children[i] for i in range(count.value)]
        if children:
            self.x.XFree(children)
        sizes = []
        for window in windows:
            hint = XClassHint()
            if not self.x.XGetClassHint(self.display, window, ctypes.byref(hint)):
                continue
            names = []
            for text in (hint.res_name, hint.res_class):
                if text:
                    names.append(ctypes.string_at(text).lower())
                    self.x.XFree(text)
            ours = CLASS in names
            attributes = XWindowAttributes()
            if ours and self.x.XGetWindowAttributes(self.display, window, ctypes.byref(attributes)) \
                    and attributes.map_state == IS_VIEWABLE \
                    and attributes.width >= MIN_SIDE and attributes.height >= MIN_SIDE:
                sizes.append((attributes.width, attributes.height))
        return sizes


def settled(timeout):
    screen = Screen()
    deadline = time.monotonic() + timeout
    last, since = None, time.monotonic()
    while time.monotonic() < deadline:
        sizes = screen.program_sizes()
        size = sizes[0] if len(sizes) == 1 else None
        if size != last:
            last, since = size, time.monotonic()
        elif size is not None and time.monotonic() - since >= 1.0:
            print(f"{size[0]}x{size[1]}")
            return 0
        time.sleep(0.02)
    return 1


def changed(loading, timeout, ready_file):
    width, height = (int(v) for v in loading.split("x"))
    screen = Screen()
    open(ready_file, "w").close()
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for size in screen.program_sizes():
            if size != (width, height):
                print(time.time_ns() // 1000, f"{size[0]}x{size[1]}")
                return 0
        time.sleep(0.002)
    return 1


def steady(x, y, width, height, seconds, min_looks):
    """Counts how often that part of the screen changes between looks taken
    one after another, each timed: a judgment of "changes at most so often"
    then rests on the time the looks really spanned, not on how fast they
    were meant to come."""
    screen = Screen()
    looks = changes = 0
    previous = None
    start = time.monotonic()
    while True:
        image = screen.pixels(x, y, width, height)
        if image is None:
            sys.exit("the screen could not be read")
        looks += 1
        if previous is not None and image != previous:
            changes += 1
        previous = image
        end = time.monotonic()
        if end - start >= seconds and looks >= min_looks:
            break
        time.sleep(0.02)
    print(looks, changes, int((end - start) * 1000))
    return 0


IN_MODIFY, IN_CLOSE_WRITE, IN_MOVED_TO, IN_CREATE = 0x2, 0x8, 0x80, 0x100


def process_ended(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] in "ZX"
    except OSError:
        return True


def saved(folder, pid, ready_file):
    libc = ctypes.CDLL(ctypes.util.find_library("c") or "libc.so.6", use_errno=True)
    fd = libc.inotify_init1(os.O_NONBLOCK)
    if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0:
        sys.exit("inotify: " + os.strerror(ctypes.get_errno()))
    open(ready_file, "w").close()
    first = done = None
    ending = False
    while True:
        readable, _, _ = select.select([fd], [], [], 0.05)
        now = time.time_ns() // 1000
        if readable:
            data = os.read(fd, 65536)
            offset = 0
            while offset < len(data):
                _, mask, _, length = struct.unpack_from("iIII", data, offset)
                name = data[offset + 16: offset + 16 + length].split(b"\0")[0]
                offset += 16 + length
                if first is None:
                    first = now
                if name == b"DAvud.bin" and mask & (IN_MOVED_TO | IN_CLOSE_WRITE):
                    done = now
        elif ending:
            break
        # One more round after the end picks up what was queued before it.
        ending = ending or process_ended(pid)
    print("-" if first is None or done is None else done - first)
    return 0


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    if command == "settled":
        sys.exit(settled(float(args[0])))
    if command == "changed":
        sys.exit(changed(args[0], float(args[1]), args[2]))
    if command == "steady":
        sys.exit(steady(*(int(v) for v in args[:4]), float(args[4]), int(args[5])))
    if command == "saved":
        sys.exit(saved(args[0], int(args[1]), args[2]))
    sys.exit(f"unknown command {command}")
