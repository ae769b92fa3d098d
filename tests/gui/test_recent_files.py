#!/usr/bin/python3
# The File menu's recent files, run by ctest as `test_recent_files.py CASE` (harness.py).
import os

from gui_test import make_rule, read_settings, settings
from harness import Failure, Kolvane, children, main, plain, pyatspi, wait_for


def file_menu_is(app, want):
    """The File menu from "Print Setup" on; separators as "-"."""
    items = children(app.menu_item("&File", "P&rint Setup...").parent)
    names = ["-" if c.getRole() == pyatspi.ROLE_SEPARATOR else plain(c.name) for c in items]
    app.close_menus()
    got = names[names.index("Print Setup..."):]
    if got != want:
        raise Failure(f"File menu {got}")  # wait_for names the last one
    return True


def case_recent_files(work):
    """Opened files go on top of the stored list, between two separators above Exit; a file that
    is gone leaves the list when chosen; the list is stored under the same keys at exit."""
    old = os.path.join(work, "gone.rul")
    settings({"Recent File List": {"File1": old}})
    a, b = (make_rule(work, name=n, interval="3600", out_name=n + ".htm") for n in ("a.rul", "b.rul"))
    with Kolvane([a, b], cwd=work) as app:
        wait_for("two log windows", lambda: len(app.log_tables()) == 2, 60)
        want = ["Print Setup...", "-", *(plain(f"&{n} {p}") for n, p in ((1, b), (2, a), (3, old))),
                "-", "Exit"]
        wait_for(f"File menu {want}", lambda: file_menu_is(app, want))
        app.press_menu("&File", f"&3 {old}")
        del want[4]
        wait_for(f"File menu {want}", lambda: file_menu_is(app, want))
        app.press_menu("&File", "E&xit")
        app.wait_exit(30)
    stored = read_settings().get("Recent File List")
    if stored != {"File1": b, "File2": a}:
        raise Failure(f"stored {stored}")


if __name__ == "__main__":
    main({"recent_files": case_recent_files})
