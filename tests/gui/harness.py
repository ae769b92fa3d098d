# The GUI test harness: runs the real `kolvane` on a private X display and D-Bus session and
# drives it from outside through the accessibility interface (AT-SPI), as a person with a screen
# reader would, plus real pointer clicks (xdotool) where an accessibility action would block.
#
#   outer process  (ctest runs `python3 gui_test.py CASE`): a fresh HOME and XDG_RUNTIME_DIR,
#                  Xvfb on a display it picks itself (-displayfd), then the inner process inside
#                  `dbus-run-session`; Xvfb is stopped by pid whatever happens.
#   inner process  (`gui_test.py --inner CASE`): imports pyatspi (it needs the session bus),
#                  starts the program, runs the case, and stops every process it started.
#
# Waits poll for what they expect with a deadline and say what did not appear; no fixed sleeps.
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77  # ctest SKIP_RETURN_CODE
KOLVANE = os.environ.get("KOLVANE", "")
KOLVANE_RUN = os.environ.get("KOLVANE_RUN", "")
ARTIFACTS = os.environ.get("KOLVANE_GUI_ARTIFACTS", tempfile.gettempdir())


class Failure(AssertionError):
    pass


def wait_for(what, probe, timeout=20.0, interval=0.05):
    """Polls `probe` until it returns something true and returns that; fails naming `what`."""
    start = time.monotonic()
    deadline = start + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                if time.monotonic() - start > 2:
                    print(f"  waited {time.monotonic() - start:.1f} s for {what}")
                return value
        except Exception as error:  # an object that went away while we looked
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def stop_process(proc, grace=5.0):
    """Ends one process we started, by its pid: SIGTERM, then SIGKILL after `grace` seconds."""
    if proc is None or proc.poll() is not None:
        return
    try:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
    except ProcessLookupError:
        pass


# ----------------------------------------------------------------------------------------------
# Outer process: the private display and session.


def run_outer(script, case, timeout):
    if not (KOLVANE and os.access(KOLVANE, os.X_OK)):
        print(f"skipped: the desktop program is not built ({KOLVANE or 'no path'})")
        return SKIP
    for tool in ("Xvfb", "dbus-run-session", "xdotool"):
        if not shutil.which(tool):
            print(f"{tool} is missing: run scripts/setup")
            return 1
    work = tempfile.mkdtemp(prefix=f"kolvane-gui-{case}-")
    home = os.path.join(work, "home")
    runtime = os.path.join(home, "run")
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ)
    for name in ("NO_AT_BRIDGE", "GTK_MODULES", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS",
                 "XDG_CONFIG_HOME", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    env.update(HOME=home, XDG_RUNTIME_DIR=runtime, GSETTINGS_BACKEND="memory",
               KOLVANE_GUI_WORK=work, NO_PROXY="127.0.0.1,localhost", no_proxy="127.0.0.1,localhost",
               LC_ALL="C.UTF-8")
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp", "-noreset"],
                            pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(work, "xvfb.log"), "w"))
    os.close(write_fd)
    inner = None
    try:
        with os.fdopen(read_fd) as pipe:
            display = pipe.readline().strip()
        if not display:
            print("Xvfb did not start (see xvfb.log)")
            return 1
        env["DISPLAY"] = ":" + display
        inner = subprocess.Popen(["dbus-run-session", "--", sys.executable, script, "--inner", case],
                                 env=env, start_new_session=True)
        try:
            status = inner.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            print(f"case {case} did not finish within {timeout} s")
            os.killpg(inner.pid, signal.SIGKILL)
            inner.wait()
            return 1
        if status == 0:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print(f"work directory kept: {work}")
        return status
    finally:
        if inner is not None and inner.poll() is None:
            os.killpg(inner.pid, signal.SIGKILL)
            inner.wait()
        stop_process(xvfb)


# ----------------------------------------------------------------------------------------------
# Inner process: the program and the accessibility client.

import_pyatspi_error = None
try:
    import pyatspi  # noqa: E402  (only present for the system interpreter)
except ImportError as error:  # the outer process needs no pyatspi
    pyatspi = None
    import_pyatspi_error = error


def plain(text):
    """A menu or button text as the toolkit exposes it: no mnemonic, no accelerator part."""
    text = text.split("\t")[0]
    return text.replace("&&", "\0").replace("&", "").replace("\0", "&").replace("_", "")


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:
        return []


TABLE_ROLES = None
ALERT_ROLES = (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG) if pyatspi else ()


def walk(root, skip_tables=True, max_nodes=20000, max_depth=1000):
    """Breadth-first over the tree below `root` (down to `max_depth` levels), never descending
    into a (long) table. During a run the program answers between its steps only, so callers
    keep walks short."""
    global TABLE_ROLES
    if TABLE_ROLES is None:
        TABLE_ROLES = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE}
    queue, seen = [(root, 0)], 0
    while queue and seen < max_nodes:
        node, depth = queue.pop(0)
        if node is None:
            continue
        seen += 1
        yield node
        try:
            if depth >= max_depth or (skip_tables and node.getRole() in TABLE_ROLES):
                continue
        except Exception:
            continue
        queue.extend((child, depth + 1) for child in children(node))


def find_all(root, pred, **kw):
    out = []
    for node in walk(root, **kw):
        try:
            if pred(node):
                out.append(node)
        except Exception:
            pass
    return out


def find(root, pred, **kw):
    found = find_all(root, pred, **kw)
    return found[0] if found else None


def role_is(*roles):
    return lambda n: n.getRole() in roles


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def centre(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x + box.width // 2, box.y + box.height // 2


def xdotool(*args):
    # `mousemove --sync` to where the pointer already is waits 15 s for a motion that never
    # comes over the program's windows: the move is left out.
    if args[:2] == ("mousemove", "--sync") and subprocess.run(
            ["xdotool", "getmouselocation"], capture_output=True, text=True,
            check=True).stdout.startswith(f"x:{args[2]} y:{args[3]} "):
        return
    subprocess.run(["xdotool", *map(str, args)], check=True)


def click_at(x, y, double=False):
    xdotool("mousemove", "--sync", x, y)
    if double:
        xdotool("click", "--repeat", 2, "--delay", 60, 1)
    else:
        xdotool("click", 1)


class SlowHttpServer:
    """An HTTP server on 127.0.0.1 that sends its file one byte at a time (fast enough for the
    transfer's stall limit, slow enough to take an hour), so a run that fetches it stays on its
    way until `release()`; then the rest is sent at once."""

    def __init__(self, body=b"Session: 2026-12-07 slowly\n" + b"." * 20000 + b"\n",
                 byte_interval=0.05):
        self.body = body
        self.interval = byte_interval
        self.released = threading.Event()
        self.closing = threading.Event()
        self.requests = 0
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.sock.settimeout(0.2)
        self.port = self.sock.getsockname()[1]
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while not self.closing.is_set():
            try:
                conn, _ = self.sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            threading.Thread(target=self._answer, args=(conn,), daemon=True).start()

    def _answer(self, conn):
        with conn:
            try:
                conn.settimeout(5)
                data = b""
                while b"\r\n\r\n" not in data:
                    chunk = conn.recv(4096)
                    if not chunk:
                        return
                    data += chunk
                self.requests += 1
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: "
                             + str(len(self.body)).encode() + b"\r\nConnection: close\r\n\r\n")
                for i in range(len(self.body)):
                    if self.released.is_set() or self.closing.is_set():
                        conn.sendall(self.body[i:])
                        break
                    conn.sendall(self.body[i:i + 1])
                    self.released.wait(self.interval)
            except OSError:
                pass

    def release(self):
        self.released.set()

    def close(self):
        self.closing.set()
        self.released.set()
        self.sock.close()


class Kolvane:
    """One running `kolvane` and the accessibility view of it."""

    def __init__(self, args, cwd):
        if pyatspi is None:
            raise Failure(f"pyatspi is missing ({import_pyatspi_error}); run with /usr/bin/python3")
        self.log = open(os.path.join(cwd, "kolvane.stderr"), "w")
        self.proc = subprocess.Popen([KOLVANE, *args], cwd=cwd, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self._app = None

    # -- process ------------------------------------------------------------------------------
    def exited(self):
        return self.proc.poll() is not None

    def wait_exit(self, timeout=30):
        wait_for("kolvane to exit by itself", self.exited, timeout)
        return self.proc.returncode

    def stop(self):
        stop_process(self.proc)
        self.log.close()

    def __enter__(self):  # `with Kolvane(...) as app:` stops it at the end
        return self

    def __exit__(self, *_):
        self.stop()

    # -- finding things -----------------------------------------------------------------------
    def app(self, timeout=30):
        if self._app is None:
            def probe():
                if self.exited():
                    raise Failure(f"kolvane exited early with {self.proc.returncode}")
                for a in pyatspi.Registry.getDesktop(0):
                    if a is not None and a.get_process_id() == self.proc.pid:
                        return a
                return None
            self._app = wait_for("kolvane on the accessibility bus", probe, timeout)
        return self._app

    def main_frame(self):
        return wait_for("the main window", lambda: find(
            self.app(), lambda n: n.getRole() == pyatspi.ROLE_FRAME and (
                n.name == "Kolvane" or n.name.endswith("\u2014 Kolvane")), max_depth=1))

    def find(self, pred, what, timeout=20, root=None):
        return wait_for(what, lambda: find(root or self.app(), pred), timeout)

    def log_tables(self):
        """The log lists of the open log windows (one table per window)."""
        return find_all(self.app(), role_is(pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE))

    def log_table(self, timeout=20):
        """The log list of the active log window (the one showing, else the only one)."""
        def probe():
            tables = self.log_tables()
            shown = [t for t in tables if showing(t)]
            return shown[0] if shown else (tables[0] if len(tables) == 1 else None)
        return wait_for("a log list", probe, timeout)

    @staticmethod
    def rows(table, first=0, last=None):
        t = table.queryTable()
        n = t.nRows
        last = n if last is None else min(last, n)
        return [t.getAccessibleAt(r, 0).name for r in range(first, last)]

    def status_panes(self):
        """The three status pane texts. The status bar is drawn, so the program mirrors each
        pane into a label over it: the bar shows up as a panel (or status bar) whose children
        are three labels, panes 0, 1 and 2 in order."""
        def is_bar(node):
            kids = children(node)
            return (node.getRole() in (pyatspi.ROLE_PANEL, pyatspi.ROLE_STATUS_BAR) and
                    len(kids) == 3 and all(k.getRole() == pyatspi.ROLE_LABEL for k in kids))
        bar = find(self.main_frame(), is_bar)
        return [k.name for k in children(bar)] if bar is not None else None

    def pane(self, number):
        panes = self.status_panes()
        return panes[number] if panes else None

    # -- menus --------------------------------------------------------------------------------
    def menu_item(self, *path):
        """The menu item at `path` (texts as in the menu, mnemonics allowed), opening each menu
        on the way with an accessibility action (opening a menu never blocks)."""
        def menu_bar():  # the frame keeps one bar per state (with and without a log window)
            bars = find_all(self.main_frame(), role_is(pyatspi.ROLE_MENU_BAR), max_depth=2)
            return next((b for b in bars if showing(b)), bars[0] if bars else None)
        node = wait_for("the menu bar", menu_bar)
        for depth, text in enumerate(path):
            want = plain(text)
            parent = node
            node = wait_for(f"menu entry {want!r}", lambda: next(
                (c for c in children(parent) if plain(c.name) == want), None), 10)
            if depth < len(path) - 1:
                if not showing(children(node)[0] if node.childCount else node):
                    node.queryAction().doAction(0)
                wait_for(f"menu {want!r} to open", lambda: node.childCount > 0 and any(
                    showing(c) for c in children(node)), 5)
        return node

    def close_menus(self):
        xdotool("key", "Escape")
        xdotool("key", "Escape")

    def press_menu(self, *path, modal=False):
        """Chooses a menu command. `modal=True` for commands that open a dialog: then the item
        is clicked with the pointer, since an accessibility action would wait for the dialog."""
        item = self.menu_item(*path)
        if not enabled(item):
            self.close_menus()
            raise Failure(f"menu command {path} is disabled")
        if modal:
            wait_for(f"{path[-1]!r} on screen", lambda: showing(item), 5)
            # A menu shown through the accessibility interface may still be placed after it
            # shows (slowly on a loaded machine): the click waits until the item stays put.
            def settled():
                first = centre(item)
                time.sleep(0.1)
                return first if centre(item) == first else None
            click_at(*wait_for(f"{path[-1]!r} in place", settled, 5))
        else:
            item.queryAction().doAction(0)

    def menu_enabled(self, *path):
        item = self.menu_item(*path)
        state = enabled(item)
        self.close_menus()
        return state

    def alert(self, timeout=20):
        """A message box: a top-level window of the program."""
        return wait_for("a message box", lambda: find(self.app(), role_is(*ALERT_ROLES),
                                                      max_depth=1), timeout)

    @staticmethod
    def press_button(root, text):
        button = wait_for(f"button {text!r}", lambda: find(
            root, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and plain(n.name) == plain(text)))
        button.queryAction().doAction(0)

    def screenshot(self, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        path = os.path.join(ARTIFACTS, name)
        subprocess.run(["import", "-window", "root", path], check=True)
        return path


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)
    return path


def run_case(cases, name):
    """Runs one case inside the private session; returns the process exit status."""
    work = os.environ["KOLVANE_GUI_WORK"]
    case = cases.get(name)
    if case is None:
        print(f"no such case: {name}")
        return 1
    folder = os.path.join(work, "case")
    os.makedirs(folder, exist_ok=True)
    try:
        result = case(folder)
        if result == SKIP:
            return SKIP
        print(f"{name}: passed")
        return 0
    except Exception as failure:
        import traceback
        traceback.print_exc()
        print(f"{name}: FAILED: {failure}")
        for root, _, files in os.walk(work):
            for f in files:
                if f == "kolvane.stderr":
                    lines = open(os.path.join(root, f), errors="replace").read().splitlines()
                    print(f"--- {os.path.join(root, f)} (last lines)\n" + "\n".join(lines[-40:]))
        return 1


def main(cases, timeout=180):
    args = sys.argv[1:]
    if args and args[0] == "--inner":
        sys.exit(run_case(cases, args[1]))
    if len(args) != 1:
        print("usage: gui_test.py CASE   (cases: " + ", ".join(cases) + ")")
        sys.exit(64)
    sys.exit(run_outer(os.path.abspath(sys.argv[0]), args[0], timeout))
