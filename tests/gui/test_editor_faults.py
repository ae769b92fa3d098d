#!/usr/bin/python3
# GUI cases of the editor and the Options sheet as a new user meets them: credentials of an HTTP
# scan file, the bundled example saved untouched, re-editing an open rule, the save dialog that
# never throws work away, "Value now:", the Filters page and the keyboard. Real keys through
# xdotool, checks through the accessibility interface (see harness.py).
import os
import shutil
import subprocess

from harness import (KOLVANE_RUN, Failure, Kolvane, centre, children, enabled, find_all, main,
                     pyatspi, role_is, showing, wait_for, walk, write, xdotool)
from gui_test import settings
from test_editor import (Sheet, answer_run_now, dismiss_start_prompt, open_for_edit, open_options,
                         options_rule, press, rule_of, save_as, value_now_is, writer_output)

SHOTS = "/work/shots"


def keys(sheet, *names):
    """Real key presses into the sheet (focus follows the pointer)."""
    xdotool("mousemove", "--sync", *centre(sheet.node))
    for name in names:
        xdotool("key", name)


def label_of(node):
    return next((r.getTarget(0).name.replace("_", "") for r in node.getRelationSet()
                 if r.getRelationType() == pyatspi.RELATION_LABELLED_BY), "")


def focused_label(sheet):
    node = next((n for n in walk(sheet.node) if showing(n) and
                 n.getState().contains(pyatspi.STATE_FOCUSED)), None)
    return label_of(node) if node else None


def shot(app, name):
    os.makedirs(SHOTS, exist_ok=True)
    shutil.copy(app.screenshot(name), SHOTS)


def edit_rule(work, text, edit, answer="No", ask=False):
    """Opens a rule of `text` for editing, runs `edit(app, sheet)`, presses OK and answers the
    run question; returns the saved bytes."""
    rule = os.path.join(work, "rule.rul")
    open(rule, "wb").write(text.encode())
    settings({"Preferences": {"AskFileName": "1" if ask else "0"}})
    app = Kolvane([], cwd=work)
    try:
        sheet = open_for_edit(app, rule)
        edit(app, sheet)
        sheet.button("OK")
        answer_run_now(sheet, answer)
    finally:
        app.stop()
    return open(rule, "rb").read()


def case_http_credentials(work):
    """The Scan File page shows User ID and Password of an HTTP scan file, saves them, and
    refuses credentials typed into the URL, saying where they go."""
    text = rule_of(work, [("web.htm", ["V"])]).replace(
        "ScanFile Name = web.htm", "HttpURL = http://127.0.0.1:9/d/web.htm\r\nUserID = web-user\r\n"
        "UserPW = web-pw\r\nScanFile Name = web.htm")

    def edit(app, sheet):
        sheet.page("Scan File Command Section Info")
        if (sheet.get("User ID:"), enabled(sheet.field("Password:"))) != ("web-user", True):
            raise Failure(f"User ID shows {sheet.get('User ID:')!r}")
        url = sheet.get("Http URL:")
        sheet.set("Http URL:", "http://u:p@127.0.0.1:9/d/web.htm")
        sheet.page("Command Section")
        sheet.message('Type the user name into "User ID:" and the password into "Password:"')
        sheet.set("Http URL:", url)
    saved = edit_rule(work, text, edit)
    if b"UserID = web-user\r\nUserPW = web-pw\r\n" not in saved:
        raise Failure(f"saved rule {saved!r}")


def case_example_saves(work):
    """The bundled example, opened and saved untouched, keeps its comment lines and is what the
    writer gives; --check accepts what --write-rule makes of it."""
    source = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "report.rul")
    text = open(source, "rb").read().decode()
    saved = edit_rule(work, text, lambda app, sheet: sheet.page("Scan File Scan Variable Info"))
    if saved != writer_output(work, text) or saved.count(b"&& ") < 2:
        raise Failure(f"saved example {saved!r}")
    if subprocess.run([KOLVANE_RUN, "--check", os.path.join(work, "rule.rul")],
                      capture_output=True).returncode != 0:
        raise Failure("--check refuses the saved example")


def case_reedit_open_rule(work):
    """"Open to Edit" on a rule that has a window opens the editor; after Cancel no empty tab
    stays and New Merge Instance asks for a rule file (the editing flag is cleared)."""
    rule = options_rule(work)
    app = Kolvane([rule], cwd=work)
    try:
        app.log_table(60)
        open_for_edit(app, rule, started=True).button("Cancel")
        wait_for("one log window again", lambda: len(app.log_tables()) == 1, 20)
        app.press_menu("&File", "New...", "New Merge Instance", modal=True)
        dismiss_start_prompt(app)
    finally:
        app.stop()


def case_save_never_loses_work(work):
    """Cancelling the save dialog and a failed write return to the sheet as it was; a name
    without extension gets .rul; another file is replaced only after a question."""
    os.makedirs(os.path.join(work, "sub"))
    other = write(os.path.join(work, "sub", "other.rul"), "keep\n")
    settings({"Preferences": {"LastPath": os.path.join(work, "sub")}})
    app = Kolvane([], cwd=work)
    try:
        app.main_frame()
        dismiss_start_prompt(app)
        app.press_menu("&File", "New...", "New &Rule File", modal=True)
        sheet = Sheet(app, "Creating New Rule File")
        sheet.set("Template Path and File Name:", f"{work}/t.htm")
        sheet.button("OK")
        dialog = app.find(lambda n: n.name.startswith("Save Rule File") and showing(n), "save", 30)
        press(dialog, "Cancel")
        wait_for("the sheet as it was", lambda: sheet.get("Template Path and File Name:") ==
                 f"{work}/t.htm", 10)
        sheet.button("OK")
        save_as(app, other[:-len(".rul")])
        sheet.message("already exists", "No")
        save_as(app, f"{work}/sub/made")
        answer_run_now(sheet, "Yes")
        wait_for("the tab named after the rule", lambda: any(
            n.name == "made.rul" for n in find_all(app.main_frame(), role_is(pyatspi.ROLE_PAGE_TAB))), 20)
    finally:
        app.stop()
    if open(other).read() != "keep\n" or not os.path.exists(f"{work}/sub/made.rul"):
        raise Failure("the rule was not saved as made.rul, or other.rul was replaced")

    def gone(app, sheet):
        shutil.rmtree(os.path.join(work, "gone"))
        sheet.button("OK")
        sheet.message("Couldn't write the rule file")
        sheet.page("Scan File Command Section Info")  # the sheet is still open
    write(os.path.join(work, "gone", "r.rul"), rule_of(work, [("s.txt", ["V"])]))
    settings({"Preferences": {"AskFileName": "0"}})
    app = Kolvane([], cwd=work)
    try:
        gone(app, open_for_edit(app, os.path.join(work, "gone", "r.rul")))
    finally:
        app.stop()


def case_value_now_agrees(work):
    """"Value now:" runs the save's checks: the reason for an end pattern the save refuses, the
    value quoted so its blanks show, and the exact line that will be written."""
    write(os.path.join(work, "s.txt"), "Price: 12 C\n")

    def edit(app, sheet):
        sheet.page("Scan File Scan Variable Info")
        sheet.button("Clear")
        sheet.set("Rule:", "????")
        sheet.set("Start Pattern", "Price:")
        sheet.set("End Pattern", "C")
        value_now_is(sheet, lambda v: v == '" 12 "', "the value with its blanks")
        if sheet.get("Written as:") != "V=Price:???? C::1":
            raise Failure(f"written as {sheet.get('Written as:')!r}")
        sheet.set("End Pattern", " C")
        value_now_is(sheet, lambda v: v.startswith('Not saved as it is: End Pattern " C" would'),
                     "the save's refusal")
        shot(app, "editor-scan-variable-page.png")
        sheet.set("End Pattern", "C")
    saved = edit_rule(work, rule_of(work, [("s.txt", ["V"])]), edit)
    if b"V=Price:???? C::1\r\n" not in saved:
        raise Failure(f"saved {saved!r}")


def case_filters_refusals(work):
    """"|" in a description is refused; descriptions count characters, not bytes; a non-ASCII
    filter character is named in its message."""
    app = Kolvane([options_rule(work)], cwd=work)
    try:
        sheet = open_options(app)
        shot(app, "options-preferences-page.png")
        sheet.page("Filters")
        for description, pattern, message in (("a|b", "*.x", 'may NOT contain "|"'),
                                              ("é" * 30, "*.ü", "ü is NOT a valid file filter")):
            sheet.set("Description:", description)
            sheet.set("Filter:", pattern)
            sheet.button("Add")
            sheet.message(message)
        sheet.set("Filter:", "*.e")
        sheet.button("Add")
        wait_for("the description of 30 characters taken", lambda: sheet.get("Description:") == "", 10)
        shot(app, "options-filters-page.png")
        sheet.button("Cancel")
    finally:
        app.stop()


def case_small_faults(work):
    """Keyboard and look: a number field judges "abc" once, when it is left; Alt+O, Alt+H and
    Alt+C reach the page's fields; the Line/Col edits have names of their own; an unknown
    reschedule unit is refused; the File menu has no doubled separator; the open prompt's
    filter reads "Kolvan Files (*.rul)" and starts in the last folder."""
    write(os.path.join(work, "sub", "marker.rul"), "x\n")
    rule = os.path.join(work, "rule.rul")
    open(rule, "w").write(rule_of(work, [("s.txt", ["V"])]))
    settings({"Preferences": {"LastPath": os.path.join(work, "sub")}})
    app = Kolvane([], cwd=work)
    try:
        app.main_frame()
        dismiss_start_prompt(app)
        roles = [c.getRole() for c in children(app.menu_item("&File", "&Open...").parent)]
        app.close_menus()
        if any(a == b == pyatspi.ROLE_SEPARATOR for a, b in zip(roles, roles[1:])):
            raise Failure("the File menu has two separators in a row")
        sheet = open_for_edit(app, rule, started=True, check_prompt=lambda chooser: wait_for(
            "the filter and the last folder", lambda: all(any(
                n.name.strip() == text and (showing(n) or text != "marker.rul")
                for n in walk(chooser, skip_tables=False))
                for text in ("Kolvan Files (*.rul)", "marker.rul")), 10))
        shot(app, "editor-command-page.png")
        sheet.page("Scan File Command Section Info")
        keys(sheet, "alt+h")
        wait_for("Alt+H on Http URL", lambda: focused_label(sheet) == "Http URL:", 5)
        shot(app, "editor-scan-file-page.png")
        keys(sheet, "alt+f", "ctrl+a", "a", "b", "c", "Tab")
        sheet.message("Can't have a negative or non-integer Scan File Number!")
        if len([n for n in app.app() if n.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG)
                and showing(n)]) > 1:
            raise Failure("more than one message box for one field")
        sheet.page("Scan File Scan Variable Info")
        labels = sorted(label for label in (label_of(n) for n in walk(sheet.node) if showing(n))
                        if label.endswith(("Line", "Col")))
        if labels != ["Ending Col", "Ending Line", "Starting Col", "Starting Line"]:
            raise Failure(f"line and column edits named {labels}")
        for key, label in (("alt+o", "Ending Col"), ("alt+c", "Starting Col")):
            keys(sheet, key)
            wait_for(f"{key} on {label}", lambda: focused_label(sheet) == label, 5)
        sheet.page("Command Section")
        sheet.set("Reschedule Timer Setting", "1 day")
        sheet.page("Scan File Command Section Info")  # refused, with the reason
        sheet.message("has a unit Kolvane does not know")
        sheet.button("Cancel")
    finally:
        app.stop()


CASES = {name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    main(CASES, timeout=220)
