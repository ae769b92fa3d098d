#!/usr/bin/python3
# "Run on Change" in the View menu, run by ctest as `test_run_on_change.py CASE` on its own
# display and session (harness.py).
import os

from gui_test import make_rule, read_settings, settings
from harness import Failure, Kolvane, main, pyatspi, wait_for, write


def case_menu_item(work):
    """The check mark is the window's and is saved per rule file; with it a scan file replaced
    by a rename runs the rule again. A remembered rule's window watches from its first run, so
    the command line's run no longer ends the program, until the mark is taken off."""
    scan = os.path.join(work, "scan files", "data one.txt")

    def change(page, value):
        write(scan + ".new", f"header line\nSession: {value}\nVolume: 7 shares\n")
        os.rename(scan + ".new", scan)
        path = os.path.join(work, "out", page)
        wait_for(f"{page} with {value}", lambda: value in open(path).read(), 15)

    def checked(app):
        item = app.menu_item("&View", "Run on &Change")
        state = item.getState().contains(pyatspi.STATE_CHECKED)
        app.close_menus()
        return state

    def remembered():
        return list(read_settings().get("Run on Change", {}).values())

    hourly = make_rule(work, name="hourly.rul", interval="3600", out_name="hourly.htm")
    app = Kolvane([hourly], cwd=work)
    try:
        wait_for("hourly.htm written", lambda: os.path.exists(
            os.path.join(work, "out", "hourly.htm")), 60)
        if checked(app):
            raise Failure("Run on Change is checked before it was chosen")
        app.press_menu("&View", "Run on &Change")
        wait_for("the check mark", lambda: checked(app), 10)
        if remembered() != [hourly]:
            raise Failure(f"the settings file keeps {remembered()}, not the rule")
        change("hourly.htm", "2027-01-01")
    finally:
        app.stop()

    rule = make_rule(work)
    settings({"Run on Change": {"Rule1": rule}})
    app = Kolvane([rule], cwd=work)
    try:
        wait_for("the remembered check mark", lambda: checked(app), 60)
        change("page.htm", "2027-02-02")
        if app.exited():
            raise Failure("the program ended although its window runs on change")
        app.press_menu("&View", "Run on &Change")
        status = app.wait_exit(30)
    finally:
        app.stop()
    if status != 0 or remembered():
        raise Failure(f"exit status {status}; still remembered: {remembered()}")


if __name__ == "__main__":
    main({name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")})
