#!/usr/bin/python3
# The editor and the Options sheet as a new user meets them (one case per fault found): real
# keys through xdotool, checks through the accessibility interface (see harness.py).
import os
import shutil
import subprocess

from harness import (KOLVANE_RUN, Failure, Kolvane, centre, children, enabled, find_all, main,
                     pyatspi, role_is, showing, wait_for, walk, write, xdotool)
from gui_test import settings
from test_editor import (answer_run_now, dismiss_start_prompt, new_rule_sheet, open_for_edit,
                         open_options, options_rule, press, rule_of, save_as, value_now_is,
                         writer_output)


def label_of(node):
    return next((r.getTarget(0).name.replace("_", "") for r in node.getRelationSet()
                 if r.getRelationType() == pyatspi.RELATION_LABELLED_BY), "")


def key_to(sheet, key, label):
    """A real key press into the sheet (focus follows the pointer) that focuses `label`."""
    xdotool("mousemove", "--sync", *centre(sheet.node))
    xdotool("key", key)
    wait_for(f"{key} on {label}", lambda: any(label_of(n) == label for n in walk(sheet.node) if
                                               n.getState().contains(pyatspi.STATE_FOCUSED)), 5)


def edit_rule(work, text, edit, folder=""):
    """Opens a rule of `text` (in `folder`), runs `edit(sheet)`, saves it with OK without a
    name prompt; returns the saved bytes."""
    rule = write(os.path.join(work, folder, "rule.rul"), text)
    settings({"Preferences": {"AskFileName": "0"}})
    app = Kolvane([], cwd=work)
    try:
        sheet = open_for_edit(app, rule)
        if edit(sheet) != "stays":
            sheet.button("OK")
            answer_run_now(sheet, "No")
    finally:
        app.stop()
    return open(rule, "rb").read() if os.path.exists(rule) else None


def case_http_credentials(work):
    def edit(sheet):
        sheet.page("Scan File Command Section Info")
        if (sheet.get("User ID:"), enabled(sheet.field("Password:"))) != ("web-user", True):
            raise Failure(f"User ID shows {sheet.get('User ID:')!r}")
        url = sheet.get("Http URL:")
        sheet.set("Http URL:", "http://u:p@127.0.0.1:9/d/web.htm")
        sheet.page("Command Section")
        sheet.message('Type the user name into "User ID:" and the password into "Password:"')
        sheet.set("Http URL:", url)
        sheet.page("Command Section")  # the upload URL likewise
        sheet.set("Ftp URL:", "ftp://u@127.0.0.1:9/")
        sheet.page("Scan File Command Section Info")
        sheet.message('Type the user name into "Ftp User ID:" and the password into "Ftp Pass')
        sheet.set("Ftp URL:", "")
    saved = edit_rule(work, rule_of(work, [("web.htm", ["V"])]).replace(
        "ScanFile Name = web.htm", "HttpURL = http://127.0.0.1:9/d/web.htm\r\n"
        "UserID = web-user\r\nUserPW = web-pw\r\nScanFile Name = web.htm"), edit)
    if b"UserID = web-user\r\nUserPW = web-pw\r\n" not in saved:
        raise Failure(f"saved rule {saved!r}")


def case_example_saves(work):
    text = open(os.path.join(os.path.dirname(__file__), "../../examples/report.rul"), "rb").read()
    saved = edit_rule(work, text.decode(), lambda s: s.page("Scan File Scan Variable Info"))
    if saved != writer_output(work, text.decode()) or saved.count(b"&& ") < 2 or subprocess.run(
            [KOLVANE_RUN, "--check", os.path.join(work, "rule.rul")]).returncode != 0:
        raise Failure(f"saved example {saved!r}")


def case_reedit_open_rule(work):
    app = Kolvane([options_rule(work)], cwd=work)
    try:
        app.log_table(60)
        open_for_edit(app, os.path.join(work, "r.rul"), started=True).button("Cancel")
        wait_for("no empty log tab left", lambda: len(app.log_tables()) == 1, 20)
        app.press_menu("&File", "New...", "New Merge Instance", modal=True)
        dismiss_start_prompt(app)  # the editing flag is gone: a rule file is asked for
    finally:
        app.stop()


def case_save_never_loses_work(work):
    other = write(os.path.join(work, "sub", "other.rul"), "keep\n")
    app = Kolvane([], cwd=work)
    try:
        sheet = new_rule_sheet(app)
        sheet.set("Template Path and File Name:", f"{work}/t.htm")
        sheet.button("OK")
        press(app.find(lambda n: n.name.startswith("Save Rule File") and showing(n), "save"), "Cancel")
        wait_for("the sheet as it was", lambda: sheet.get("Template Path and File Name:") ==
                 f"{work}/t.htm", 10)
        sheet.button("OK")
        save_as(app, other[:-len(".rul")])
        sheet.message("already exists", "No")
        save_as(app, f"{work}/sub/made")
        answer_run_now(sheet, "Yes")
        wait_for("the tab named after the rule", lambda: any(n.name == "made.rul" for n in find_all(
            app.main_frame(), role_is(pyatspi.ROLE_PAGE_TAB))), 20)
    finally:
        app.stop()
    if open(other).read() != "keep\n" or not os.path.exists(f"{work}/sub/made.rul"):
        raise Failure("the rule was not saved as made.rul, or other.rul was replaced")

    def write_fails(sheet):
        shutil.rmtree(os.path.join(work, "gone"))
        sheet.button("OK")
        sheet.message("Couldn't write the rule file")
        sheet.page("Scan File Command Section Info")  # the sheet is still open
        return "stays"
    edit_rule(work, rule_of(work, [("s.txt", ["V"])]), write_fails, "gone")


def case_value_now_agrees(work):
    write(os.path.join(work, "s.txt"), "Price: 12 C\n")

    def edit(sheet):
        sheet.page("Scan File Scan Variable Info")
        sheet.button("Clear")
        for label, text in (("Rule:", "????"), ("Start Pattern", "Price:"), ("End Pattern", "C")):
            sheet.set(label, text)
        value_now_is(sheet, lambda v: v == '" 12 "', "the value with its blanks")
        if sheet.get("Written as:") != "V=Price:???? C::1":
            raise Failure(f"written as {sheet.get('Written as:')!r}")
        sheet.set("End Pattern", " C")
        value_now_is(sheet, lambda v: v.startswith('Not saved as it is: End Pattern " C" would'),
                     "the save's refusal")
        sheet.app.screenshot("editor-scan-variable-page.png")
        sheet.set("End Pattern", "C")
    if b"V=Price:???? C::1\r\n" not in edit_rule(work, rule_of(work, [("s.txt", ["V"])]), edit):
        raise Failure("the line shown is not the line saved")


def case_filters_refusals(work):
    app = Kolvane([options_rule(work)], cwd=work)
    try:
        sheet = open_options(app)
        app.screenshot("options-preferences-page.png")
        sheet.page("Filters")
        for description, pattern, message in (("a|b", "*.x", 'may NOT contain "|"'),
                                              ("é" * 30, "*.ü", "ü is NOT a valid file filter")):
            sheet.set("Description:", description)
            sheet.set("Filter:", pattern)
            sheet.button("Add")
            sheet.message(message)
        sheet.set("Filter:", "*.e")
        sheet.button("Add")
        wait_for("30 characters taken", lambda: sheet.get("Description:") == "", 10)
        app.screenshot("options-filters-page.png")
    finally:
        app.stop()


def case_small_faults(work):
    write(os.path.join(work, "sub", "marker.rul"), "x\n")
    settings({"Preferences": {"LastPath": os.path.join(work, "sub")}})
    app = Kolvane([], cwd=work)
    try:
        app.main_frame()
        dismiss_start_prompt(app)
        roles = [c.getRole() for c in children(app.menu_item("&File", "&Open...").parent)]
        app.close_menus()
        if any(a == b == pyatspi.ROLE_SEPARATOR for a, b in zip(roles, roles[1:])):
            raise Failure("the File menu has two separators in a row")
        sheet = open_for_edit(app, write(f"{work}/rule.rul", rule_of(work, [("s.txt", ["V"])])),
                              started=True, check_prompt=lambda chooser: wait_for(
            "the filter name and the last folder", lambda: all(any(
                n.name.strip() == text and (showing(n) or text != "marker.rul")
                for n in walk(chooser, skip_tables=False))
                for text in ("Kolvan Files (*.rul)", "marker.rul")), 10))
        app.screenshot("editor-command-page.png")
        sheet.page("Scan File Command Section Info")
        key_to(sheet, "alt+h", "Http URL:")
        app.screenshot("editor-scan-file-page.png")
        key_to(sheet, "alt+f", "ScanFile Number:")
        for key in ("ctrl+a", "a", "b", "c", "Tab"):
            xdotool("key", key)
        sheet.message("Can't have a negative or non-integer Scan File Number!")
        if len([n for n in app.app() if n.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG)
                and showing(n)]) > 1:
            raise Failure("more than one message box for one field")
        sheet.page("Scan File Scan Variable Info")
        if sorted(label for label in (label_of(n) for n in walk(sheet.node) if showing(n))
                  if label.endswith(("Line", "Col"))) != ["Ending Col", "Ending Line",
                                                           "Starting Col", "Starting Line"]:
            raise Failure("the line and column edits share names")
        spins = sorted(n.name for n in walk(sheet.node) if showing(n) and
                       n.getRole() == pyatspi.ROLE_SPIN_BUTTON)
        if spins != ["Scan Variable No.", "ScanFile Number"]:
            raise Failure(f"the spin buttons are named {spins}")
        key_to(sheet, "alt+o", "Ending Col")
        key_to(sheet, "alt+c", "Starting Col")
        sheet.page("Command Section")
        sheet.set("Reschedule Timer Setting", "1 day")
        sheet.page("Scan File Command Section Info")
        sheet.message("has a unit Kolvane does not know")
    finally:
        app.stop()


CASES = {name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    main(CASES, timeout=220)
