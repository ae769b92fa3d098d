#!/usr/bin/python3
# GUI cases of the log window and the main window as a keyboard user, a mouse user and a screen
# reader meet them: keyboard reach and names, drops, menu prompts, the panes' state after runs,
# failures that stay visible, the list following new lines, many windows, the first start.
# Each runs by ctest as `test_log_window.py CASE` on its own display and session (harness.py).
import os
import re

from gui_test import countdown_shown, make_rule, settings
from harness import (Failure, Kolvane, SlowHttpServer, centre, children, find, find_all, main,
                     pyatspi, role_is, showing, wait_for, write, xdotool)
from xdnd import drop_files


def focused(app):
    return find(app.app(), lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))


def point_at(node):
    """Focus follows the pointer without a window manager: the pointer goes over the window."""
    xdotool("mousemove", "--sync", *centre(node))


def focus_list(app, table):
    """Tab from wherever the focus is until the log list has it, as a keyboard user does."""
    point_at(app.main_frame())
    has_focus = lambda: table.getState().contains(pyatspi.STATE_FOCUSED)
    for _ in range(6):
        if has_focus():
            return
        before = focused(app)
        key("Tab")
        # During a run the program reads its keys between steps: one Tab at a time.
        wait_for("the focus to move", lambda: has_focus() or focused(app) != before, 10)
    raise Failure(f"Tab never reached the log list (focus on {focused(app)})")


def key(*names):
    for name in names:
        xdotool("key", name)


def last_row(app, table):
    t = table.queryTable()
    return t.getAccessibleAt(t.nRows - 1, 0).name if t.nRows else None


def row_showing(table, row):
    """Whether the row lies inside the list's visible box (the cells all claim to be showing)."""
    box = table.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    cell = table.queryTable().getAccessibleAt(row, 0).queryComponent().getExtents(
        pyatspi.DESKTOP_COORDS)
    return box.y <= cell.y and cell.y + cell.height <= box.y + box.height


def help_window(app):
    return find(app.app(), lambda n: n.getRole() == pyatspi.ROLE_FRAME and
                n.name.startswith("Kolvane Help") and showing(n), max_depth=1)


# ----------------------------------------------------------------------------------------------


def case_keyboard_reach(work):
    """Tab reaches the log list, which is named after its rule; arrows move the selection; the
    panes, the tool bars of the main, help and preview windows have names; Esc and Ctrl+W close
    the help window; Esc aborts a run."""
    rule = make_rule(work, interval="3600")
    app = Kolvane([rule], cwd=work)
    try:
        table = app.log_table(60)
        wait_for("the countdown", countdown_shown(app), 60)
        if table.name != "Log of rule.rul":
            raise Failure(f"the log list is named {table.name!r}")
        focus_list(app, table)
        key("Home", "Down", "Down")
        wait_for("the third row selected", lambda: table.queryTable().isRowSelected(2), 5)
        unnamed = [n.getRoleName() for n in find_all(app.main_frame(), role_is(
            pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_TABLE,
            pyatspi.ROLE_STATUS_BAR)) if showing(n) and not n.name]
        if unnamed:
            raise Failure(f"controls without a name: {unnamed}")

        for close in ("Escape", "ctrl+w"):
            app.press_menu("&Help", "&Contents...")
            helpwin = wait_for("the help window", lambda: help_window(app))
            tools = [n.name for n in find_all(helpwin, role_is(pyatspi.ROLE_PUSH_BUTTON,
                                                               pyatspi.ROLE_TOGGLE_BUTTON))
                     if showing(n)]
            if not tools or not all(tools):
                raise Failure(f"help window buttons {tools}")
            point_at(helpwin)
            key(close)
            wait_for(f"{close} to close the help window", lambda: not help_window(app), 10)

        app.press_menu("&File", "Print Pre&view")
        preview = wait_for("the preview", lambda: find(app.app(), lambda n: n.name ==
                           "Kolvane Print Preview", max_depth=1))
        buttons = [n.name for n in find_all(preview, role_is(pyatspi.ROLE_PUSH_BUTTON))]
        if len(buttons) < 4 or not all(buttons):
            raise Failure(f"print preview buttons {buttons}")
        app.press_button(preview, "Close")
    finally:
        app.stop()

    server = SlowHttpServer()
    slow = make_rule(os.path.join(work, "slow"), http_port=server.port, interval="3600")
    app = Kolvane([slow], cwd=work)
    try:
        table = app.log_table(60)
        wait_for("the fetch to start", lambda: server.requests > 0, 60)
        point_at(table)
        key("Escape")
        app.status_panes()
        server.release()
        status = app.wait_exit(30)  # an aborted window of the command line ends the program
    finally:
        server.close()
        app.stop()
    if status != 1:
        raise Failure(f"an aborted command-line window exited with {status}, not 1")


def case_drop_and_abort(work):
    """A rule file dropped and released at its first position opens and runs; the program that
    was started with a scheduled rule does not end after it. Return during the dropped rule's
    run aborts it, and the panes then show the window's state: "Ready" and the lines shown."""
    rule = make_rule(work, interval="3600")
    server = SlowHttpServer()
    dropped = make_rule(os.path.join(work, "drop"), name="dropped.rul", http_port=server.port)
    app = Kolvane([rule], cwd=work)
    try:
        app.log_table(60)
        wait_for("the countdown", countdown_shown(app), 60)
        x, y = centre(app.main_frame())
        if not drop_files([dropped], x, y):
            raise Failure("the drop was refused at its first position")
        wait_for("the dropped rule's window", lambda: len(app.log_tables()) == 2, 30)
        wait_for("its fetch", lambda: server.requests > 0, 60)
        table = app.log_table()
        focus_list(app, table)
        key("Return")
        app.status_panes()  # answered between the run's steps, after the key
        server.release()
        wait_for("the abort line", lambda: "Aborted" in (last_row(app, table) or ""), 30)
        panes = wait_for("the idle panes", lambda: (p := app.status_panes()) and
                         p[0] == "Ready" and p, 20)
        rows = table.queryTable().nRows
        if panes[1] != f"{rows} Lines":
            raise Failure(f"pane 1 reads {panes[1]!r} with {rows} lines shown")
        tab = find(app.main_frame(), lambda n: n.getRole() == pyatspi.ROLE_PAGE_TAB and
                   "dropped.rul" in n.name)
        if app.exited() or table.name != "Log of dropped.rul" or "(failed)" not in tab.name:
            raise Failure(f"program ended: {app.exited()}; list {table.name!r}, tab {tab.name!r}")
    finally:
        server.close()
        app.stop()


def case_menu_prompts(work):
    """Each highlighted menu item shows its prompt in pane 0, with and without a log window,
    and pane 0 returns to its own text when the menu closes."""
    rule = make_rule(work, interval="3600")
    app = Kolvane([rule], cwd=work)

    def prompts(presses):
        point_at(app.main_frame())
        key("alt+f")
        seen = []
        for _ in range(presses):
            key("Down")
            seen.append(wait_for("a pane text", lambda: app.pane(0), 5))
        key("Escape", "Escape")
        return seen

    try:
        app.log_table(60)
        wait_for("the countdown", countdown_shown(app), 60)
        seen = prompts(6)
        for want in ("Close the active Kolvane log window",
                     "Print the contents of the active log window",
                     "Change the printer and printing options"):
            if want not in seen:
                raise Failure(f"with a log window, {want!r} never showed: {seen}")
        wait_for("the countdown back in pane 0", countdown_shown(app), 10)
        app.press_menu("&File", "&Close")
        wait_for("no log window", lambda: not app.log_tables(), 20)
        seen = prompts(7)
        for want in ("Change the printer and printing options", "Open this rule file and run it",
                     "Quit the application"):
            if want not in seen:
                raise Failure(f"without a log window, {want!r} never showed: {seen}")
        wait_for("Ready back in pane 0", lambda: app.pane(0) == "Ready", 10)
    finally:
        app.stop()


def case_failure_held(work):
    """A failed run of the command line keeps its window open with "Run failed: see the error
    log" and a last line counting the problems; Return on that line opens the error log; closing
    the window ends the program with 1."""
    recorder = write(os.path.join(work, "bin", "record"),
                     "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"$0.out\"\n")
    os.chmod(recorder, 0o755)
    settings({"Preferences": {"Editor": f"{recorder} %f"}})
    out = recorder + ".out"
    rule = make_rule(work)
    os.remove(os.path.join(work, "scan files", "data one.txt"))
    app = Kolvane([rule], cwd=work)
    try:
        table = app.log_table(60)
        wait_for("the failure in pane 0", lambda: app.pane(0) == "Run failed: see the error log", 60)
        last = last_row(app, table)
        if not re.fullmatch(r"\*\*\*\* \d+ problems? written to the error log - see error log "
                            r"\*\*\*\*", last or ""):
            raise Failure(f"the last line reads {last!r}")
        focus_list(app, table)
        key("End", "Return")
        opened = wait_for("the error log opened", lambda: os.path.exists(out) and open(out).read())
        if os.path.realpath(opened.strip()) != os.path.realpath(os.path.join(work, "out",
                                                                             "rule-errors.log")):
            raise Failure(f"Return opened {opened!r}")
        app.press_menu("&File", "&Close")
        status = app.wait_exit(30)
    finally:
        app.stop()
    if status != 1:
        raise Failure(f"closing the failed window ended the program with {status}")


def case_follow_new_lines(work):
    """The list shows each new run's last line while it is scrolled to its end, and stays where
    the user scrolled to otherwise."""
    rule = make_rule(work, interval="10")
    with open(rule, "a") as f:
        for n in range(2, 80):
            f.write(f"&ScanFile{n}:\r\nScanFile Name = data one.txt\r\nScanFile Path = scan files"
                    f"\r\nV{n}=Volume:???? shares\r\n\r\n")
    app = Kolvane([rule], cwd=work)
    try:
        table = app.log_table(60)
        wait_for("the countdown", countdown_shown(app), 60)
        first_run = table.queryTable().nRows
        if not row_showing(table, first_run - 1) or row_showing(table, 0):
            raise Failure("after the first run the list does not show its end")
        focus_list(app, table)
        key("End", "Home")  # the cursor starts on the first row
        wait_for("the top row shown", lambda: row_showing(table, 0), 5)
        wait_for("the second run", lambda: table.queryTable().nRows > first_run + 80, 40)
        if not row_showing(table, 0):
            raise Failure("the list moved away from where the user scrolled")
    finally:
        app.stop()


def case_many_windows(work):
    """A first start opens at two thirds of the screen, centred. With 20 windows the Window
    menu lists them all, the active one checked; the title names the active rule file; a tab of
    New Merge Instance takes its rule file's name."""
    rules = [make_rule(work, name=f"rule{n:02}.rul", interval="3600", out_name=f"p{n}.htm")
             for n in range(20)]
    app = Kolvane(rules, cwd=work)
    try:
        wait_for("20 log windows", lambda: len(app.log_tables()) == 20, 120)
        box = app.main_frame().queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if abs(box.width - 853) > 40 or abs(box.height - 682) > 40 or \
                abs(box.x + box.width / 2 - 640) > 40 or abs(box.y + box.height / 2 - 512) > 40:
            raise Failure(f"first start at {box.x},{box.y} {box.width}x{box.height}")
        frame = wait_for("the title with the active rule", lambda: (f := app.main_frame()) and
                         re.fullmatch(r"rule\d\d\.rul \u2014 Kolvane", f.name) and f)
        active = frame.name.split(" ")[0]
        items = [c for c in children(app.menu_item("&Window", "Close &All").parent)
                 if re.match(r"\d+ ", c.name)]
        checked = [c.name for c in items if c.getState().contains(pyatspi.STATE_CHECKED)]
        if len(items) != 20 or len(checked) != 1 or not checked[0].endswith(" " + active):
            raise Failure(f"Window menu: {[c.name for c in items]}, checked {checked}")
        app.screenshot("window-menu.png")
        app.close_menus()
        app.screenshot("20-windows.png")
        app.press_menu("&File", "New...", "New Merge Instance", modal=True)
        dialog = wait_for("the rule-file dialog", lambda: find(app.app(), lambda n: n.name ==
                          "Select a rule file and Run Rule", max_depth=1), 30)
        point_at(dialog)
        key("ctrl+l")
        entry = wait_for("the location field", lambda: find(dialog, lambda n: n.getRole() ==
                         pyatspi.ROLE_TEXT and showing(n) and
                         n.getState().contains(pyatspi.STATE_EDITABLE)))
        entry.queryEditableText().setTextContents(rules[0])
        app.press_button(dialog, "Open")
        wait_for("the new tab named after its rule", lambda: len(find_all(
            app.main_frame(), lambda n: n.getRole() == pyatspi.ROLE_PAGE_TAB and
            n.name == "rule00.rul")) == 2, 30)
    finally:
        app.stop()


CASES = {name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    main(CASES)
