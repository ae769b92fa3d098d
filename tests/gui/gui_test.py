#!/usr/bin/python3
# GUI cases for the desktop program `kolvane`, each run by ctest as `gui_test.py CASE` on its own
# X display and D-Bus session (see harness.py). Each case starts the real program, drives it
# through the accessibility interface and real clicks, and checks what a person would see and
# what lands on disk.
import os
import re
import subprocess
import time

from harness import (ALERT_ROLES, KOLVANE, KOLVANE_RUN, Failure, Kolvane, SlowHttpServer, centre,
                     click_at, find, main, pyatspi, role_is, showing, wait_for, walk, write)

COUNTDOWN = re.compile(r"^(\d+ hrs )?(\d+ mins )?\d+ secs till next update!$")
SCANNED = re.compile(r"^ +1\) \.\.\. (.*) scanned$")


def make_rule(folder, name="rule.rul", interval=None, http_port=None, refused=False,
              scan_dir="scan files", scan_name="data one.txt", out_name="page.htm"):
    """A rule with one scan file below `folder`; a path with blanks on purpose. Returns the
    rule's path."""
    write(os.path.join(folder, "tpl", "template.htm"), "<p>%%SESSION%% / %%VOLUME%%</p>\n")
    write(os.path.join(folder, scan_dir, scan_name),
          "header line\nSession: 2026-12-07 morning\nVolume: 1200 shares\n")
    lines = ["&& a test rule", "&command:"]
    if not refused:
        lines.append("TemplateFile Name = template.htm")
    lines += ["TemplateFile Path = tpl", f"OutputFile Name = {out_name}", "OutputFile Path = out",
              f"ErrorLogFile Name = {name[:-4]}-errors.log", "ErrorLogFile Path = out"]
    if interval:
        lines.append(f"ReSchedule Interval= {interval}")
    lines += ["", "&ScanFile1:"]
    if http_port:
        lines.append(f"HttpURL = http://127.0.0.1:{http_port}/slow/{scan_name.replace(' ', '%20')}")
    lines += [f"ScanFile Name = {scan_name}", f"ScanFile Path = {scan_dir}",
              "SESSION=Session:??11??", "VOLUME=Volume:???? shares", ""]
    os.makedirs(os.path.join(folder, "out"), exist_ok=True)
    return write(os.path.join(folder, name), "\r\n".join(lines))


def settings(values):
    """Writes the shared settings file before the program starts, in wxConfig's format (blanks
    in group names escaped)."""
    home = os.environ["HOME"]
    text = "".join("[" + group.replace(" ", "\\ ") + "]\n" +
                   "".join(f"{k}={v}\n" for k, v in entries.items())
                   for group, entries in values.items())
    return write(os.path.join(home, ".config", "Kolvane.conf"), text)


def read_settings():
    path = os.path.join(os.environ["HOME"], ".config", "Kolvane.conf")
    groups, group = {}, None
    if os.path.exists(path):
        for line in open(path, encoding="utf-8", errors="replace"):
            line = line.rstrip("\n")
            if line.startswith("["):
                group = groups.setdefault(line.strip("[]").replace("\\ ", " "), {})
            elif "=" in line and group is not None:
                key, value = line.split("=", 1)
                group[key] = value
    return groups


def countdown_shown(app):
    return lambda: COUNTDOWN.match(app.pane(0) or "")


def finish(app):
    """Stops the program; a case that reaches its end has already checked what it needed."""
    app.stop()


# ----------------------------------------------------------------------------------------------


def case_command_line_run(work):
    """A rule named on the command line runs and the program exits by itself with 0; a refused
    rule gives its message and the program exits with 2, as kolvane-run would."""
    rule = make_rule(work)
    app = Kolvane([rule], cwd=work)
    try:
        status = app.wait_exit(60)
    finally:
        finish(app)
    page = os.path.join(work, "out", "page.htm")
    if status != 0 or not os.path.exists(page):
        raise Failure(f"exit status {status}, page written: {os.path.exists(page)}")
    if "2026-12-07" not in open(page).read():
        raise Failure("the page lacks the extracted value")

    refused = make_rule(os.path.join(work, "bad"), refused=True)
    app = Kolvane([refused], cwd=work)
    try:
        def alert_or_exit():
            return "exited" if app.exited() else find(app.app(), role_is(*ALERT_ROLES), max_depth=1)
        seen = wait_for("the refusal message or the exit", alert_or_exit, 60)
        if seen != "exited":
            if "template file name" not in _text(seen):
                raise Failure("the refusal message does not name the template key")
            app.press_button(seen, "OK")
        status = app.wait_exit(30)
    finally:
        finish(app)
    if status != 2:
        raise Failure(f"a refused rule exited with {status}, not 2")


def _text(node):
    """A message box's title and label texts, joined."""
    return " ".join([node.name] + [n.name for n in walk(node) if n.getRole() == pyatspi.ROLE_LABEL])


def case_schedule_stop(work):
    """Two scheduled rules count down in pane 0 (kept as a screenshot); "&Stop Scheduler's Timer"
    is enabled only during the countdown, stops it, and the program then closes by itself."""
    long_rule = make_rule(work, name="hourly.rul", interval="3725", out_name="hourly.htm")
    short_rule = make_rule(work, name="quick.rul", interval="30")
    app = Kolvane([long_rule, short_rule], cwd=work)
    try:
        wait_for("two log windows", lambda: len(app.log_tables()) == 2, 60)
        wait_for("a countdown in status pane 0", countdown_shown(app), 30)
        for page in ("hourly.htm", "page.htm"):
            wait_for(f"{page} written", lambda: os.path.exists(os.path.join(work, "out", page)), 30)
        app.screenshot("main-window-two-logs.png")
        # The active window is quick.rul: pane 0 counts its 30 seconds, never the hourly one's.
        for _ in range(3):
            if "hrs" in app.pane(0):
                raise Failure(f"pane 0 shows the other window's countdown: {app.pane(0)!r}")
            time.sleep(0.4)
        if not app.menu_enabled("&Tools", "&Stop Scheduler's Timer"):
            raise Failure("Stop Scheduler's Timer is disabled during a countdown")
        app.press_menu("&Tools", "&Stop Scheduler's Timer")
        status = app.wait_exit(30)
    finally:
        finish(app)
    if status != 0:
        raise Failure(f"exit status {status} after stopping the schedule")


def _slow_run(work, **rule_args):
    server = SlowHttpServer()
    rule = make_rule(work, http_port=server.port, **rule_args)
    return server, rule


GUARD_PARTS = ("Currently processing files.  Won't CLOSE until processing is COMPLETE!",
               "If you wish to abort the merge operation, double click on",
               "one of the DISPLAYED lines in the ACTIVE Kolvane window!!!!")


def case_busy_close_guard(work):
    """While a run fetches a slow HTTP scan file, File > Close and File > Exit each give the
    three-part message and everything stays open; once the run is over both go through."""
    server, rule = _slow_run(work, interval="3600")
    app = Kolvane([rule], cwd=work)
    try:
        app.log_table(60)
        wait_for("the fetch to start", lambda: server.requests > 0, 60)
        for command in ("&Close", "E&xit"):
            app.press_menu("&File", command, modal=True)
            alert = app.alert(20)
            text = _text(alert)
            missing = [part for part in GUARD_PARTS if part not in text]
            if missing:
                raise Failure(f"{command}: the close guard's message lacks {missing}: {text!r}")
            app.press_button(alert, "OK")
            wait_for("the message box to close",
                     lambda: not find(app.app(), role_is(*ALERT_ROLES), max_depth=1))
            if app.exited() or len(app.log_tables()) != 1:
                raise Failure(f"{command} let the busy window go")
        server.release()
        table = app.log_table()
        wait_for("the scan line", lambda: any(SCANNED.match(r) for r in app.rows(table)), 60)
        wait_for("the countdown", countdown_shown(app), 30)
        app.press_menu("&File", "&Close")
        wait_for("the idle window to close", lambda: not app.log_tables(), 20)
        app.press_menu("&File", "E&xit")
        app.wait_exit(20)
    finally:
        server.close()
        finish(app)


def case_abort_double_click(work):
    """A double-click on a log line while the run is on its way stops it: no page is written, and
    the window of the command line, aborted, ends the program with 1."""
    server, rule = _slow_run(work, interval="3600")
    app = Kolvane([rule], cwd=work)
    try:
        table = app.log_table(60)
        wait_for("the fetch to start", lambda: server.requests > 0, 60)
        cell = wait_for("a log line", lambda: table.queryTable().nRows > 0 and
                        table.queryTable().getAccessibleAt(0, 0), 20)
        click_at(*centre(cell), double=True)
        server.release()
        status = app.wait_exit(60)
        if status != 1 or os.path.exists(os.path.join(work, "out", "page.htm")):
            raise Failure(f"an aborted run exited with {status} or wrote its page")
    finally:
        server.close()
        finish(app)


def case_editor_double_click(work):
    """A double-click on a scan-file line of an idle window starts the configured editor with
    the line number and the file's path as single arguments, blanks and all."""
    recorder = write(os.path.join(work, "bin", "record args"),
                     "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.out\"\n")
    os.chmod(recorder, 0o755)
    # wxConfig's file format: a value that starts with a quote loses its quotes, \" keeps one.
    settings({"Preferences": {"Editor": f'\\"{recorder}\\" --line=%l %f'}})
    rule = make_rule(work, interval="3600")
    app = Kolvane([rule], cwd=work)
    try:
        table = app.log_table(60)
        wait_for("the countdown", countdown_shown(app), 60)
        rows = app.rows(table)
        row = next(i for i, r in enumerate(rows) if SCANNED.match(r))
        click_at(*centre(table.queryTable().getAccessibleAt(row, 0)), double=True)
        out = recorder + ".out"
        wait_for("the editor to record its arguments", lambda: os.path.exists(out) and
                 open(out).read().endswith("\n"), 20)
        args = open(out).read().splitlines()
    finally:
        finish(app)
    expected = os.path.realpath(os.path.join(work, "scan files", "data one.txt"))
    if len(args) != 2 or args[0] != "--line=1" or os.path.realpath(args[1]) != expected:
        raise Failure(f"editor arguments {args}, expected ['--line=1', {expected!r}]")


def _frame_box(app):
    box = app.main_frame().queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def case_window_state(work):
    """The window's place is saved on exit; a saved place partly off the screen comes back
    moved onto it with its size kept; a "ToolBar" value other than 1 hides the tool bar."""
    rule = make_rule(work, interval="3600")  # an idle log window, so Exit closes at once
    app = Kolvane([rule], cwd=work)
    try:
        wait_for("the countdown", countdown_shown(app), 60)
        x, y, w, h = _frame_box(app)
        app.press_menu("&File", "E&xit")
        app.wait_exit(30)
    finally:
        finish(app)
    saved = read_settings().get("Last Window Data", {})
    coords = saved.get("Coordinates", "")
    if not re.fullmatch(r"\d{4} \d{4} \d{4} \d{4}", coords):
        raise Failure(f"Coordinates not saved as four 4-digit numbers: {saved}")
    left, top, right, bottom = map(int, coords.split())
    if (right - left, bottom - top) != (w, h) or abs(left - x) > 2:
        raise Failure(f"saved {coords} for a window at {x},{y} of {w}x{h}")
    if saved.get("Iconized") != "0" or saved.get("Maximized") != "0":
        raise Failure(f"Iconized/Maximized not saved as 0: {saved}")

    # 657 x 377 at (1100, 900) on a 1280 x 1024 screen: moved to (623, 647), size kept.
    settings({"Last Window Data": {"Coordinates": "1100 0900 1757 1277", "Iconized": "0",
                                   "Maximized": "0", "ToolBar": "2", "StatusLine": "1"}})
    app = Kolvane([rule], cwd=work)
    try:
        wait_for("the countdown", countdown_shown(app), 60)
        box = wait_for("the window fitted to the screen", lambda: _fits(app), 30)
        if box[:2] != (623, 647) or box[2:] != (657, 377):
            raise Failure(f"window at {box}, expected (623, 647, 657, 377)")
        if any(n.getRole() == pyatspi.ROLE_TOOL_BAR and showing(n)
               for n in walk(app.main_frame())):
            raise Failure('a "ToolBar" value of 2 left the tool bar shown')
    finally:
        finish(app)


def _fits(app):
    x, y, w, h = box = _frame_box(app)
    return box if w > 0 and x > 400 and x + w <= 1280 and y + h <= 1024 else None


def case_second_instance(work):
    """A second `kolvane FILE` hands its file to the running program, which opens it in a new
    log window and runs it; the second process exits with 0."""
    first = make_rule(work, interval="3600")
    second = make_rule(work, name="second.rul", interval="3600", out_name="second.htm")
    app = Kolvane([first], cwd=work)
    try:
        wait_for("the first log window", lambda: len(app.log_tables()) == 1, 60)
        helper = subprocess.run([KOLVANE, second], cwd=work, timeout=30,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if helper.returncode != 0:
            raise Failure(f"the second instance exited with {helper.returncode}: {helper.stdout}")
        wait_for("a second log window", lambda: len(app.log_tables()) == 2, 30)
        wait_for("the handed-over rule's page", lambda: os.path.exists(
            os.path.join(work, "out", "second.htm")), 30)
    finally:
        finish(app)


def case_log_equals_cli(work):
    """The log lines read through the accessibility interface equal kolvane-run's standard
    output for the same rule (the run's time masked, trailing blank lines ignored)."""
    rule = make_rule(work, interval="3600")
    cli = subprocess.run([KOLVANE_RUN, "--once", rule], cwd=work, timeout=60,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if cli.returncode != 0:
        raise Failure(f"kolvane-run exited with {cli.returncode}: {cli.stderr}")
    app = Kolvane([rule], cwd=work)
    try:
        table = app.log_table(60)
        wait_for("the countdown", countdown_shown(app), 60)
        shown = app.rows(table)
    finally:
        finish(app)
    expected, got = _normalised(cli.stdout.splitlines()), _normalised(shown)
    if expected != got:
        raise Failure("log window and kolvane-run differ:\n" + "\n".join(
            f"{a!r:70} | {b!r}" for a, b in zip(expected + [""] * len(got),
                                                 got + [""] * len(expected))
            if a or b))


def case_no_rule_file(work):
    """Started without a file, the program asks for a rule file to run; cancelling the dialog
    leaves the one line "Kolvane -- No rule file specified!" in the new log window."""
    app = Kolvane([], cwd=work)
    try:
        dialog = wait_for("the rule-file dialog", lambda: find(
            app.app(), lambda n: n.getRole() in (pyatspi.ROLE_FILE_CHOOSER, pyatspi.ROLE_DIALOG)
            and n.name == "Select a rule file and Run Rule", max_depth=1), 30)
        buttons = [n.name for n in walk(dialog) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
        app.press_button(dialog, "Abort" if "Abort" in buttons else "Cancel")
        table = app.log_table()
        wait_for("the no-rule-file line", lambda: app.rows(table) == [
            "Kolvane -- No rule file specified!"], 20)
    finally:
        finish(app)


def case_help_topics(work):
    """Help > Contents and Help > Application Synopsis open the help book at their pages."""
    rule = make_rule(work, interval="3600")
    app = Kolvane([rule], cwd=work)
    try:
        wait_for("the countdown", countdown_shown(app), 60)
        for command, title in (("&Contents...", "Kolvane Help: Contents"),
                               ("Application &Synopsis...", "Kolvane Help: Application Synopsis")):
            app.press_menu("&Help", command)
            wait_for(f"the help window titled {title!r}", lambda: find(
                app.app(), lambda n: n.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG)
                and n.name == title, max_depth=1), 20)
        app.screenshot("help-synopsis.png")
    finally:
        finish(app)


def _normalised(lines):
    lines = [re.sub(r"^Files Scanned: .* on .*$", "Files Scanned: <time> on <date>", l)
             for l in lines]
    while lines and not lines[-1].strip():
        lines.pop()
    return lines


CASES = {name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    main(CASES)
