# A drag source for the tests, speaking the XDND protocol over libX11 through ctypes (xdotool
# cannot drag): it owns the XdndSelection, sends XdndEnter and ONE XdndPosition to the window
# under a point, and drops only when the target's XdndStatus accepts that first position (as a
# person who drags a file in and lets go at once; `positions` more for a longer drag); then it hands over the files as
# text/uri-list and waits for XdndFinished. Returns whether the target accepted and finished.
import ctypes
import time
import urllib.parse

_x = ctypes.cdll.LoadLibrary("libX11.so.6")
_long, _ulong = ctypes.c_long, ctypes.c_ulong
_x.XOpenDisplay.restype = ctypes.c_void_p
_x.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x.XDefaultRootWindow.restype = _ulong
_x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x.XInternAtom.restype = _ulong
_x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_x.XCreateSimpleWindow.restype = _ulong
_x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, _ulong] + [ctypes.c_int] * 4 + \
    [ctypes.c_uint, _ulong, _ulong]
_x.XTranslateCoordinates.argtypes = [ctypes.c_void_p, _ulong, _ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int),
                                     ctypes.POINTER(_ulong)]
_x.XGetWindowProperty.argtypes = [ctypes.c_void_p, _ulong, _ulong, _long, _long, ctypes.c_int,
                                  _ulong, ctypes.POINTER(_ulong), ctypes.POINTER(ctypes.c_int),
                                  ctypes.POINTER(_ulong), ctypes.POINTER(_ulong),
                                  ctypes.POINTER(ctypes.c_void_p)]
_x.XSetSelectionOwner.argtypes = [ctypes.c_void_p, _ulong, _ulong, _ulong]
_x.XSendEvent.argtypes = [ctypes.c_void_p, _ulong, ctypes.c_int, _long, ctypes.c_void_p]
_x.XChangeProperty.argtypes = [ctypes.c_void_p, _ulong, _ulong, _ulong, ctypes.c_int, ctypes.c_int,
                               ctypes.c_char_p, ctypes.c_int]
_x.XPending.argtypes = [ctypes.c_void_p]
_x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x.XFlush.argtypes = [ctypes.c_void_p]
_x.XFree.argtypes = [ctypes.c_void_p]
_x.XDestroyWindow.argtypes = [ctypes.c_void_p, _ulong]
_x.XCloseDisplay.argtypes = [ctypes.c_void_p]

CLIENT_MESSAGE, SELECTION_REQUEST, SELECTION_NOTIFY = 33, 30, 31


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", _ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", _ulong), ("message_type", _ulong),
                ("format", ctypes.c_int), ("l", _long * 5)]


class _SelectionRequest(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", _ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("owner", _ulong), ("requestor", _ulong),
                ("selection", _ulong), ("target", _ulong), ("property", _ulong), ("time", _ulong)]


class _Selection(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", _ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", _ulong), ("selection", _ulong),
                ("target", _ulong), ("property", _ulong), ("time", _ulong)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("client", _ClientMessage),
                ("request", _SelectionRequest), ("pad", _long * 24)]


def drop_files(paths, x, y, timeout=10.0, positions=1):
    d = _x.XOpenDisplay(None)
    if not d:
        raise RuntimeError("no X display")
    atom = lambda name: _x.XInternAtom(d, name.encode(), 0)
    root = _x.XDefaultRootWindow(d)
    source = _x.XCreateSimpleWindow(d, root, 0, 0, 1, 1, 0, 0, 0)
    uri_list = atom("text/uri-list")
    data = "".join("file://" + urllib.parse.quote(p) + "\r\n" for p in paths).encode()
    try:
        target = _aware_window(d, root, x, y, atom("XdndAware"))
        if not target:
            raise RuntimeError(f"no XDND-aware window at {x},{y}")
        _x.XSetSelectionOwner(d, atom("XdndSelection"), source, 0)
        _send(d, target, atom("XdndEnter"), [source, 5 << 24, uri_list, 0, 0])
        _send(d, target, atom("XdndPosition"), [source, 0, (x << 16) | y, 0, atom("XdndActionCopy")])
        accepted, finished = None, False
        deadline = time.monotonic() + timeout
        event = _Event()
        while time.monotonic() < deadline and not finished:
            if not _x.XPending(d):
                time.sleep(0.01)
                continue
            _x.XNextEvent(d, ctypes.byref(event))
            if event.type == CLIENT_MESSAGE and event.client.message_type == atom("XdndStatus"):
                if accepted is None:
                    positions -= 1
                    if event.client.l[1] & 1:
                        accepted = True
                        _send(d, target, atom("XdndDrop"), [source, 0, 0, 0, 0])
                    elif positions > 0:
                        _send(d, target, atom("XdndPosition"),
                              [source, 0, (x << 16) | y, 0, atom("XdndActionCopy")])
                    else:
                        _send(d, target, atom("XdndLeave"), [source, 0, 0, 0, 0])
                        return False
            elif event.type == CLIENT_MESSAGE and event.client.message_type == atom("XdndFinished"):
                finished = True
            elif event.type == SELECTION_REQUEST:
                r = event.request
                reply = _Selection(type=SELECTION_NOTIFY, send_event=1, requestor=r.requestor,
                                   selection=r.selection, target=r.target, property=0, time=r.time)
                if r.target == uri_list and r.property:
                    _x.XChangeProperty(d, r.requestor, r.property, uri_list, 8, 0, data, len(data))
                    reply.property = r.property
                _x.XSendEvent(d, r.requestor, 0, 0, ctypes.byref(reply))
                _x.XFlush(d)
        return bool(accepted) and finished
    finally:
        _x.XDestroyWindow(d, source)
        _x.XCloseDisplay(d)


def _send(d, window, kind, longs):
    message = _Event()
    message.client = _ClientMessage(type=CLIENT_MESSAGE, window=window, message_type=kind, format=32)
    for i, v in enumerate(longs):
        message.client.l[i] = v
    _x.XSendEvent(d, window, 0, 0, ctypes.byref(message))
    _x.XFlush(d)


def _aware_window(d, root, x, y, aware):
    """The innermost window at (x, y) carrying the XdndAware property (the toplevel under GTK)."""
    window, found = root, 0
    while window:
        if _has_property(d, window, aware):
            found = window
        tx, ty, child = ctypes.c_int(), ctypes.c_int(), _ulong()
        if not _x.XTranslateCoordinates(d, root, window, x, y, ctypes.byref(tx), ctypes.byref(ty),
                                        ctypes.byref(child)):
            break
        window = child.value
    return found


def _has_property(d, window, prop):
    kind, fmt, n, rest, value = _ulong(), ctypes.c_int(), _ulong(), _ulong(), ctypes.c_void_p()
    ok = _x.XGetWindowProperty(d, window, prop, 0, 1, 0, 0, ctypes.byref(kind), ctypes.byref(fmt),
                               ctypes.byref(n), ctypes.byref(rest), ctypes.byref(value)) == 0
    if value:
        _x.XFree(value)
    return ok and kind.value != 0
