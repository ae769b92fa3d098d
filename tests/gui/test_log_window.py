#!/usr/bin/python3
# GUI cases of the log and main windows as keyboard, mouse and screen reader users meet them,
# each run by ctest as `test_log_window.py CASE` on its own display and session (harness.py).
import os
import re
from contextlib import closing

from gui_test import countdown_shown, make_rule, settings
from harness import (Failure, Kolvane, SlowHttpServer, centre, children, find, find_all, main,
                     pyatspi, role_is, showing, wait_for, write, xdotool)
from xdnd import drop_files

has_focus = lambda n: n.getState().contains(pyatspi.STATE_FOCUSED)


def press_keys(node, *keys):
    """Keys to the window under the pointer: focus follows it without a window manager."""
    xdotool("mousemove", "--sync", *centre(node))
    xdotool("key", *keys)


def focus_list(app, table):
    """Tab until the log list has the focus; one at a time, as keys wait for a run's steps."""
    for _ in range(6):
        if has_focus(table):
            return
        before = find(app.app(), has_focus)
        press_keys(app.main_frame(), "Tab")
        wait_for("the focus to move", lambda: has_focus(table) or
                 find(app.app(), has_focus) != before, 10)
    raise Failure(f"Tab never reached the log list (focus on {find(app.app(), has_focus)})")


def check_names(root, where, least=1):
    """At least `least` buttons, lists and status bars show in `root`, all with names."""
    names = [n.name for n in find_all(root, role_is(
        pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_TABLE,
        pyatspi.ROLE_STATUS_BAR)) if showing(n)]
    if len(names) < least or not all(names):
        raise Failure(f"{where}: controls named {names}")


def case_keyboard_reach(work):
    """Tab reaches the list named after its rule; arrows move; the main, help and preview windows'
    controls have names; Esc and Ctrl+W close the help window; Esc aborts a run."""
    with Kolvane([make_rule(work, interval="3600")], cwd=work) as app:
        wait_for("the countdown", countdown_shown(app), 60)
        table = app.log_table()
        if table.name != "Log of rule.rul":
            raise Failure(f"the log list is named {table.name!r}")
        focus_list(app, table)
        xdotool("key", "Home", "Down", "Down")
        wait_for("the third row selected", lambda: table.queryTable().isRowSelected(2), 5)
        check_names(app.main_frame(), "main window", 4)
        for close in ("Escape", "ctrl+w"):
            app.press_menu("&Help", "&Contents...")
            helpwin = lambda: find(app.app(), lambda n: n.getRole() == pyatspi.ROLE_FRAME and
                                   n.name.startswith("Kolvane Help") and showing(n), max_depth=1)
            check_names(wait_for("the help window", helpwin), "help window")
            press_keys(helpwin(), close)
            wait_for(f"{close} to close the help window", lambda: not helpwin(), 10)
        app.press_menu("&File", "Print Pre&view")
        preview = wait_for("the preview", lambda: find(
            app.app(), lambda n: n.name == "Kolvane Print Preview", max_depth=1))
        check_names(preview, "print preview", 4)
        app.press_button(preview, "Close")

    with closing(SlowHttpServer()) as server, Kolvane([make_rule(
            os.path.join(work, "slow"), http_port=server.port, interval="3600")], cwd=work) as app:
        wait_for("the fetch to start", lambda: server.requests > 0, 60)
        press_keys(app.log_table(), "Escape")  # the abort may end the program at once
        server.release()
        if app.wait_exit(30) != 1:  # an aborted window of the command line ends the program
            raise Failure(f"an aborted command-line window exited with {app.proc.returncode}")


def case_drop_and_abort(work):
    """A drop released at its first position opens and runs; the program goes on after it. Return
    aborts a run; then the panes show the window's state: "Ready" and the lines shown."""
    with closing(SlowHttpServer()) as server, \
            Kolvane([make_rule(work, interval="3600")], cwd=work) as app:
        dropped = make_rule(os.path.join(work, "drop"), name="dropped.rul", http_port=server.port)
        wait_for("the countdown", countdown_shown(app), 60)
        if not drop_files([dropped], *centre(app.main_frame())):
            raise Failure("the drop was refused at its first position")
        wait_for("the dropped rule's fetch", lambda: server.requests > 0, 60)
        table = app.log_table()
        focus_list(app, table)
        xdotool("key", "Return")
        app.status_panes()  # answered between the run's steps, after the key
        server.release()
        wait_for("the abort line", lambda: "Aborted" in app.rows(table)[-1], 30)
        panes = wait_for("the idle panes", lambda: (p := app.status_panes()) and
                         p[0] == "Ready" and p, 20)
        tab = find(app.main_frame(), lambda n: n.getRole() == pyatspi.ROLE_PAGE_TAB and
                   "dropped.rul" in n.name)
        seen = (panes[1], app.exited(), table.name, "(failed)" in tab.name)
        if seen != (f"{table.queryTable().nRows} Lines", False, "Log of dropped.rul", True):
            raise Failure(f"pane 1, program ended, list name, tab marked failed: {seen}")


def case_menu_prompts(work):
    """Each highlighted menu item shows its prompt in pane 0, with and without a log window,
    and pane 0 returns to its own text when the menu closes."""
    with Kolvane([make_rule(work, interval="3600")], cwd=work) as app:
        def prompts(presses, wants, own):
            wait_for("pane 0's own text", own, 60)
            press_keys(app.main_frame(), "alt+f")
            seen = []
            for _ in range(presses):
                xdotool("key", "Down")
                seen.append(wait_for("a pane text", lambda: app.pane(0), 5))
            app.close_menus()
            if not wants <= set(seen):
                raise Failure(f"{wants - set(seen)} never showed: {seen}")
            wait_for("pane 0's own text back", own, 10)

        prompts(6, {"Close the active Kolvane log window", "Print the contents of the active log "
                    "window", "Change the printer and printing options"}, countdown_shown(app))
        app.press_menu("&File", "&Close")
        prompts(7, {"Change the printer and printing options", "Open this rule file and run it",
                    "Quit the application"}, lambda: app.pane(0) == "Ready")


def case_failure_held(work):
    """A failed command-line run holds its window with a last line counting the problems, which
    opens the error log on Return; closing the window ends the program with 1."""
    editor = write(f"{work}/bin/record", "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"$0.out\"\n")
    os.chmod(editor, 0o755)
    settings({"Preferences": {"Editor": f"{editor} %f"}})
    rule = make_rule(work)
    os.remove(f"{work}/scan files/data one.txt")
    out = editor + ".out"
    with Kolvane([rule], cwd=work) as app:
        wait_for("the failed run", lambda: app.pane(0) == "Run failed: see the error log", 60)
        table = app.log_table()
        last = app.rows(table)[-1]
        if not re.fullmatch(r"\*{4} \d+ problems? written to the error log - see error log "
                            r"\*{4}", last):
            raise Failure(f"the last line reads {last!r}")
        focus_list(app, table)
        xdotool("key", "End", "Return")
        opened = wait_for("the error log opened", lambda: os.path.exists(out) and open(out).read())
        if os.path.realpath(opened.strip()) != os.path.realpath(f"{work}/out/rule-errors.log"):
            raise Failure(f"Return opened {opened!r}")
        app.press_menu("&File", "&Close")
        if app.wait_exit(30) != 1:
            raise Failure(f"closing the failed window ended the program with {app.proc.returncode}")


def case_follow_new_lines(work):
    """The list shows each new run's last line while it is scrolled to its end, and stays where
    the user scrolled to otherwise."""
    rule = make_rule(work, interval="10")
    with open(rule, "a") as f:
        for n in range(2, 80):
            f.write(f"&ScanFile{n}:\r\nScanFile Name = data one.txt\r\nScanFile Path = scan files"
                    f"\r\nV{n}=Volume:???? shares\r\n\r\n")

    def row_showing(row):
        """Whether the row lies inside the list's visible box (the cells all claim to show)."""
        box, cell = (n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS) for n in (
            table, table.queryTable().getAccessibleAt(row, 0)))
        return box.y <= cell.y and cell.y + cell.height <= box.y + box.height

    with Kolvane([rule], cwd=work) as app:
        wait_for("the countdown", countdown_shown(app), 60)
        table = app.log_table()
        first_run = table.queryTable().nRows
        if not row_showing(first_run - 1) or row_showing(0):
            raise Failure("after the first run the list does not show its end")
        focus_list(app, table)
        xdotool("key", "End", "Home")  # the cursor starts on the first row
        wait_for("the top row shown", lambda: row_showing(0), 5)
        wait_for("the second run", lambda: table.queryTable().nRows > first_run + 80, 40)
        if not row_showing(0):
            raise Failure("the list moved away from where the user scrolled")


def case_many_windows(work):
    """A first start opens at two thirds of the screen, centred; the Window menu lists 20 windows,
    the active one checked and in the title; a New Merge Instance tab takes its rule's name."""
    rules = [make_rule(work, name=f"rule{n:02}.rul", interval="3600", out_name=f"p{n}.htm")
             for n in range(20)]
    with Kolvane(rules, cwd=work) as app:
        wait_for("20 log windows", lambda: len(app.log_tables()) == 20, 120)
        box = app.main_frame().queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if abs(box.width - 853) > 40 or abs(box.height - 682) > 40 or \
                abs(box.x + box.width / 2 - 640) > 40 or abs(box.y + box.height / 2 - 512) > 40:
            raise Failure(f"first start at {box.x},{box.y} {box.width}x{box.height}")
        frame = wait_for("the title with the active rule", lambda: (f := app.main_frame()) and
                         re.fullmatch(r"rule\d\d\.rul \u2014 Kolvane", f.name) and f)
        items = [c for c in children(app.menu_item("&Window", "Close &All").parent)
                 if re.match(r"\d+ ", c.name)]
        checked = [c.name for c in items if c.getState().contains(pyatspi.STATE_CHECKED)]
        if len(items) != 20 or len(checked) != 1 or \
                not checked[0].endswith(" " + frame.name.split(" ")[0]):
            raise Failure(f"Window menu: {[c.name for c in items]}, checked {checked}")
        app.screenshot("window-menu.png")
        app.close_menus()
        app.screenshot("20-windows.png")
        app.press_menu("&File", "New...", "New Merge Instance", modal=True)
        dialog = wait_for("the rule-file dialog", lambda: find(app.app(), lambda n: n.name ==
                          "Select a rule file and Run Rule", max_depth=1), 30)
        press_keys(dialog, "ctrl+l")
        entry = wait_for("the location field", lambda: find(dialog, lambda n: n.getRole() ==
                         pyatspi.ROLE_TEXT and showing(n) and n.getState().contains(
                             pyatspi.STATE_EDITABLE)))
        entry.queryEditableText().setTextContents(rules[0])
        app.press_button(dialog, "Open")
        wait_for("the new tab named after its rule", lambda: len(find_all(
            app.main_frame(), lambda n: n.getRole() == pyatspi.ROLE_PAGE_TAB and
            n.name == "rule00.rul")) == 2, 30)


if __name__ == "__main__":
    main({name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")})
