#!/usr/bin/python3
# The File menu's recent files, run by ctest as `test_recent_files.py CASE` (harness.py).
import os

from gui_test import make_rule, settings
from harness import Failure, Kolvane, children, main, plain, pyatspi, wait_for


def case_recent_files(work):
    """Opened files go on top of the stored list, between two separators above Exit; a file that
    is gone leaves the list when chosen."""
    def file_menu_is(want):
        items = children(app.menu_item("&File", "P&rint Setup...").parent)
        got = ["-" if c.getRole() == pyatspi.ROLE_SEPARATOR else plain(c.name) for c in items]
        app.close_menus()
        if got[-len(want):] != want:
            raise Failure(f"File menu {got}")  # wait_for names the last one
        return True
    old = os.path.join(work, "gone.rul")
    settings({"Recent File List": {"File1": old}})
    a, b = (make_rule(work, name=f"{n}.rul", interval="3600", out_name=f"{n}.htm") for n in "ab")
    with Kolvane([a, b], cwd=work) as app:
        want = ["Print Setup...", "-", *(plain(f"&{n} {p}") for n, p in ((1, b), (2, a), (3, old))),
                "-", "Exit"]
        wait_for("the list above Exit", lambda: file_menu_is(want))
        app.press_menu("&File", f"&3 {old}")
        del want[4]
        wait_for("the list without the file gone", lambda: file_menu_is(want))


if __name__ == "__main__":
    main({"recent_files": case_recent_files})
