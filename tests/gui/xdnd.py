# A drag source for the tests, speaking the XDND protocol over libX11 through ctypes (xdotool
# cannot drag): it owns the XdndSelection, sends XdndEnter and ONE XdndPosition to the window
# under a point, and drops only when the target's XdndStatus accepts that first position (as a
# person who drags a file in and lets go at once), else leaves; then it hands over the files as
# text/uri-list and waits for XdndFinished. Returns whether the target accepted and finished.
import ctypes
import time
import urllib.parse
from ctypes import POINTER as _p, byref, c_char_p, c_long
from ctypes import c_int as _I, c_ulong as _U, c_void_p as _P  # int, unsigned long, pointer

_x = ctypes.cdll.LoadLibrary("libX11.so.6")
for _name, _result, _args in (
        ("XOpenDisplay", _P, [c_char_p]), ("XDefaultRootWindow", _U, [_P]),
        ("XInternAtom", _U, [_P, c_char_p, _I]),
        ("XCreateSimpleWindow", _U, [_P, _U, _I, _I, _I, _I, ctypes.c_uint, _U, _U]),
        ("XTranslateCoordinates", _I, [_P, _U, _U, _I, _I, _p(_I), _p(_I), _p(_U)]),
        ("XGetWindowProperty", _I, [_P, _U, _U, c_long, c_long, _I, _U, _p(_U), _p(_I), _p(_U),
                                    _p(_U), _p(_P)]),
        ("XSetSelectionOwner", _I, [_P, _U, _U, _U]), ("XSendEvent", _I, [_P, _U, _I, c_long, _P]),
        ("XChangeProperty", _I, [_P, _U, _U, _U, _I, _I, c_char_p, _I]),
        ("XPending", _I, [_P]), ("XNextEvent", _I, [_P, _P]), ("XFlush", _I, [_P]),
        ("XFree", _I, [_P]), ("XDestroyWindow", _I, [_P, _U]), ("XCloseDisplay", _I, [_P])):
    getattr(_x, _name).restype, getattr(_x, _name).argtypes = _result, _args

CLIENT_MESSAGE, SELECTION_REQUEST, SELECTION_NOTIFY = 33, 30, 31


def _xevent(*fields):
    """An X event structure: the common head, then `fields` (unsigned longs unless typed)."""
    head = [("type", _I), ("serial", _U), ("send_event", _I), ("display", _P)]
    return type("XEvent", (ctypes.Structure,), {"_fields_": head + [
        f if isinstance(f, tuple) else (f, _U) for f in fields]})


_ClientMessage = _xevent("window", "message_type", ("format", _I), ("l", c_long * 5))
_SelectionRequest = _xevent("owner", "requestor", "selection", "target", "property", "time")
_SelectionNotify = _xevent("requestor", "selection", "target", "property", "time")
_Event = type("XEvent", (ctypes.Union,), {"_fields_": [  # any event fits in 24 longs
    ("type", _I), ("client", _ClientMessage), ("request", _SelectionRequest), ("pad", c_long * 24)]})


def drop_files(paths, x, y, timeout=10.0):
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
        send = lambda kind, *longs: _send(d, target, atom(kind), source, *longs)
        send("XdndEnter", 5 << 24, uri_list, 0, 0)
        send("XdndPosition", 0, (x << 16) | y, 0, atom("XdndActionCopy"))
        accepted = None
        deadline = time.monotonic() + timeout
        event = _Event()
        while time.monotonic() < deadline:
            if not _x.XPending(d):
                time.sleep(0.01)
                continue
            _x.XNextEvent(d, byref(event))
            kind = event.client.message_type if event.type == CLIENT_MESSAGE else None
            if kind == atom("XdndStatus") and accepted is None:
                accepted = bool(event.client.l[1] & 1)
                send("XdndDrop" if accepted else "XdndLeave", 0, 0, 0, 0)
                if not accepted:
                    return False
            elif kind == atom("XdndFinished"):
                return bool(accepted)
            elif event.type == SELECTION_REQUEST:
                r = event.request
                reply = _SelectionNotify(type=SELECTION_NOTIFY, send_event=1, requestor=r.requestor,
                                         selection=r.selection, target=r.target, time=r.time)
                if r.target == uri_list and r.property:
                    _x.XChangeProperty(d, r.requestor, r.property, uri_list, 8, 0, data, len(data))
                    reply.property = r.property
                _x.XSendEvent(d, r.requestor, 0, 0, byref(reply))
                _x.XFlush(d)
        return False
    finally:
        _x.XDestroyWindow(d, source)
        _x.XCloseDisplay(d)


def _send(d, window, kind, *longs):
    message = _Event()
    message.client = _ClientMessage(type=CLIENT_MESSAGE, window=window, message_type=kind,
                                    format=32)
    message.client.l[:] = longs
    _x.XSendEvent(d, window, 0, 0, byref(message))
    _x.XFlush(d)


def _aware_window(d, root, x, y, aware):
    """The innermost window at (x, y) carrying the XdndAware property (the toplevel under GTK)."""
    window, found, child = root, 0, _U()
    kind, fmt, n, rest, value, tx, ty = _U(), _I(), _U(), _U(), _P(), _I(), _I()
    while window:
        if _x.XGetWindowProperty(d, window, aware, 0, 1, 0, 0, byref(kind), byref(fmt), byref(n),
                                 byref(rest), byref(value)) == 0 and kind.value:
            found = window
        if value:
            _x.XFree(value)
            value.value = None
        if not _x.XTranslateCoordinates(d, root, window, x, y, byref(tx), byref(ty), byref(child)):
            break
        window = child.value
    return found
