#!/usr/bin/python3
# GUI cases of the rule editor and the Options sheet, each run by ctest as
# `test_editor.py CASE` on its own display and session (see harness.py): pages filled through
# the accessibility interface, the saved rule compared with what the rule writer gives, the
# check messages, "Value now:", and the settings file the Options sheet leaves.
import os
import subprocess

from harness import (enabled, xdotool, ALERT_ROLES, KOLVANE_RUN, Failure, Kolvane, click_at, centre, find, main,
                     pyatspi, role_is, showing, wait_for, walk, write)
from gui_test import countdown_shown, read_settings, settings


def labelled(text):
    def pred(node):
        if node.getRole() not in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT):
            return False
        for r in node.getRelationSet():
            if r.getRelationType() == pyatspi.RELATION_LABELLED_BY and \
                    r.getTarget(0).name.replace("_", "") == text:
                return True
        return False
    return pred


def button(root, text):
    """The button `text` that is on screen (every page has its own "Add"; dialogs keep hidden
    buttons)."""
    return wait_for(f"button {text!r}", lambda: find(
        root, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and showing(n) and
        n.name.replace("_", "") == text))


def press(root, text):
    button(root, text).queryAction().doAction(0)


class Sheet:
    """The editor's or the Options sheet, found by its caption."""

    def __init__(self, app, caption):
        self.app = app
        try:
            self.node = self._find(app, caption)
        except Failure:
            app.screenshot("editor-failure.png")
            print("top-level:", [(c.getRoleName(), c.name) for c in app.app()])
            raise

    @staticmethod
    def _find(app, caption):
        """The newest top-level window with the caption that holds page tabs (the main window
        is called "Kolvane" too)."""
        def probe():
            for window in reversed(list(app.app())):
                if window.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_FRAME) and \
                        window.name.startswith(caption) and \
                        find(window, role_is(pyatspi.ROLE_PAGE_TAB_LIST), max_nodes=200):
                    return window
            return None
        return wait_for(f"the sheet {caption!r}", probe, 30)

    def field(self, label):
        try:
            return wait_for(f"field {label!r}", lambda: next(
                (n for n in walk(self.node) if labelled(label)(n) and showing(n)), None), 10)
        except Failure:
            self.app.screenshot("editor-failure.png")
            raise

    def set(self, label, text):
        self.field(label).queryEditableText().setTextContents(text)

    def get(self, label):
        node = self.field(label)
        return node.queryText().getText(0, -1)

    def page(self, tab):
        tabs = wait_for("the page tabs", lambda: find(self.node, role_is(pyatspi.ROLE_PAGE_TAB_LIST)))
        names = [tabs.getChildAtIndex(i).name for i in range(tabs.childCount)]
        tabs.querySelection().selectChild(names.index(tab))

    def button(self, text):
        press(self.node, text)

    def message(self, expected, answer="OK"):
        """Waits for a message box holding `expected`, then closes it with `answer`."""
        def probe():
            for n in walk(self.app.app()):
                if n.getRole() in ALERT_ROLES and n is not None and expected in " ".join(
                        [n.name] + [c.name for c in walk(n) if c.getRole() == pyatspi.ROLE_LABEL]):
                    return n
            return None
        try:
            box = wait_for(f"the message {expected!r}", probe, 15)
        except Failure:
            self.app.screenshot("editor-failure.png")
            shown = [" ".join(c.name for c in walk(n) if c.getRole() == pyatspi.ROLE_LABEL)
                     for n in walk(self.app.app()) if n.getRole() in ALERT_ROLES]
            raise Failure(f"no message {expected!r}; shown: {shown}")
        self.app.press_button(box, answer)


def dismiss_start_prompt(app):
    """Started without a rule file, the program asks for one in a first window: cancelled."""
    chooser = app.find(lambda n: n.getRole() in (pyatspi.ROLE_FILE_CHOOSER, pyatspi.ROLE_DIALOG)
                       and n.name == "Select a rule file and Run Rule", "the start-up prompt", 30)
    press(chooser, "Cancel")
    wait_for("the prompt to close", lambda: not showing(chooser), 10)


def new_rule_sheet(app):
    app.main_frame()
    dismiss_start_prompt(app)
    app.press_menu("&File", "New...", "New &Rule File", modal=True)
    return Sheet(app, "Creating New Rule File")


def open_for_edit(app, rule, check_prompt=None, started=False):
    """Opens `rule` through "Open to Edit Rule File" (the program started without a rule, or
    `started` with one); `check_prompt(chooser)` looks at the open dialog first."""
    app.main_frame()
    if not started:
        dismiss_start_prompt(app)
    app.press_menu("&File", "Open...", "Open to Edit &Rule File", modal=True)
    chooser = app.find(lambda n: n.getRole() in (pyatspi.ROLE_FILE_CHOOSER, pyatspi.ROLE_DIALOG)
                       and showing(n), "the open dialog", 30)
    if check_prompt:
        check_prompt(chooser)
    subprocess.run(["xdotool", "key", "ctrl+l"], check=True)
    entry = wait_for("the location field", lambda: find(
        chooser, lambda n: n.getRole() == pyatspi.ROLE_TEXT and showing(n) and
        pyatspi.STATE_EDITABLE in n.getState().getStates()))
    entry.queryEditableText().setTextContents(rule)
    press(chooser, "Open")
    return Sheet(app, "Editing - ")


def save_as(app, path):
    """Names the file in the GTK save dialog and saves."""
    dialog = app.find(lambda n: n.getRole() in (pyatspi.ROLE_FILE_CHOOSER, pyatspi.ROLE_DIALOG)
                      and n.name.startswith("Save Rule File"), "the save dialog", 30)
    name = wait_for("the name field", lambda: find(
        dialog, lambda n: n.getRole() == pyatspi.ROLE_TEXT and showing(n) and
        pyatspi.STATE_EDITABLE in n.getState().getStates()))
    # The chooser enables Save only for text typed on the keyboard: the last character is.
    name.queryEditableText().setTextContents(path[:-1])
    xdotool("mousemove", "--sync", *centre(name))
    xdotool("key", "End")
    xdotool("type", path[-1])
    save = wait_for("the Save button enabled", lambda: find(
        dialog, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and showing(n) and
        n.name.replace("_", "") == "Save" and enabled(n)))
    save.queryAction().doAction(0)


def answer_run_now(sheet, answer):
    sheet.message("Run the Rule file NOW!", answer)


def writer_output(work, rule_text):
    """What the rule writer gives for the model of `rule_text`."""
    source = write(os.path.join(work, "reference.rul"), rule_text)
    out = os.path.join(work, "reference-written.rul")
    subprocess.run([KOLVANE_RUN, "--write-rule", out, source], check=True,
                   stdout=subprocess.DEVNULL)
    return open(out, "rb").read()


REFERENCE = ("&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = {w}/tpl\r\n"
             "OutputFile Name = page.htm\r\nOutputFile Path = {w}/out\r\n"
             "ErrorLogFile Name = e.log\r\nErrorLogFile Path = {w}/out\r\n"
             "ReSchedule Interval= 300\r\n\r\n"
             "&ScanFile1:\r\nHttpURL = http://127.0.0.1:8099\r\nServerDir = /dir\r\n"
             "ServerFile = page.htm\r\nScanFile Name = web.htm\r\nScanFile Path = {w}/scan\r\n"
             "TITLE=<title>????</title>::1\r\n\r\n"
             "&ScanFile2:\r\nScanFile Name = data.txt\r\nScanFile Path = {w}/scan\r\n"
             "CELL=r2c1????r2c5\r\nPRICE=Price:??4??::1\r\nREST=Volume:????\\n::2\r\n"
             "ALL=?All?\r\n\r\n")


def value_now_is(sheet, test, what):
    """Waits until "Value now:" passes `test`; fails showing what it says."""
    try:
        wait_for(what, lambda: test(sheet.get("Value now:")), 10)
    except Failure:
        raise Failure(f"{what}: Value now shows {sheet.get('Value now:')!r}")


def fill_scan_var(sheet, name, line=None, start=None, rule=None, end=None, instance=None):
    sheet.button("Add")
    sheet.set("Scan Variable Name:", name)
    if line:
        fields = [n for n in walk(sheet.node) if n.getRole() == pyatspi.ROLE_TEXT and any(
            r.getRelationType() == pyatspi.RELATION_LABELLED_BY and
            r.getTarget(0).name.replace("_", "").split(" ")[-1] in ("Line", "Col")
            for r in n.getRelationSet())]
        for field, value in zip(fields, line):
            field.queryEditableText().setTextContents(str(value))
        return
    if rule:
        sheet.set("Rule:", rule)
    if start:
        sheet.set("Start Pattern", start)
    if end:
        sheet.set("End Pattern", end)
    if instance:
        sheet.set("Instance:", str(instance))


def case_create_rule(work):
    """A rule with an HTTP and a local scan file and variables of every kind, made through the
    three pages and saved through the dialog, is byte for byte what the writer gives."""
    w = work
    write(os.path.join(w, "scan", "data.txt"), "head\nrow two here\nPrice: 12.50\nVolume: 7\n")
    app = Kolvane([], cwd=w)
    try:
        sheet = new_rule_sheet(app)
        sheet.set("Template Path and File Name:", f"{w}/tpl/t.htm")
        sheet.set("Output File Path and File Name:", f"{w}/out/page.htm")
        sheet.set("Error Log Path and File Name:", f"{w}/out/e.log")
        sheet.set("Reschedule Timer Setting", "5 M")
        app.screenshot("editor-command-page.png")
        sheet.page("Scan File Command Section Info")
        sheet.button("Add")
        sheet.set("Http URL:", "http://127.0.0.1:8099")
        sheet.set("File Name on Server:", "page.htm")
        sheet.set("File Path on Server:", "/dir")
        sheet.set("Scan File Path/Name on Local Machine:", f"{w}/scan/web.htm")
        sheet.button("Add")
        sheet.set("Scan File Path/Name on Local Machine:", f"{w}/scan/data.txt")
        app.screenshot("editor-scan-file-page.png")
        sheet.page("Scan File Scan Variable Info")
        fill_scan_var(sheet, "TITLE", start="<title>", end="</title>")
        sheet.set("ScanFile Number", "2")
        wait_for("scan file 2 shown", lambda: sheet.get("Local File Name:") == f"{w}/scan/data.txt")
        fill_scan_var(sheet, "CELL", line=(2, 1, 2, 5))
        fill_scan_var(sheet, "PRICE", rule="??4??", start="Price:")
        value_now_is(sheet, lambda v: v == '" 12."', "the copied value")
        fill_scan_var(sheet, "REST", start="Volume:", end="\\n", instance=2)
        value_now_is(sheet, lambda v: v.startswith("Only 1 occurrence of the start pattern"), "why there is no value")
        fill_scan_var(sheet, "ALL", rule="?all?")
        wait_for("the rule made ?All?", lambda: sheet.get("Rule:") == "?All?")
        app.screenshot("editor-scan-variable-page.png")
        sheet.button("OK")
        save_as(app, f"{w}/made.rul")
        answer_run_now(sheet, "No")
        wait_for("the saved rule", lambda: os.path.exists(f"{w}/made.rul"), 20)
    finally:
        app.stop()
    made = open(f"{w}/made.rul", "rb").read()
    expected = writer_output(w, REFERENCE.format(w=w))
    if made != expected:
        raise Failure(f"saved rule differs from the writer's:\n{made!r}\n{expected!r}")


def case_reedit_one_line(work):
    """An existing rule opened for editing, one variable changed, saved without a dialog
    ("AskFileName" off), differs from the original in that line only; the run started by
    "Run the Rule file NOW!" writes the output."""
    w = work
    write(os.path.join(w, "scan", "data.txt"), "head\nrow two here\nPrice: 12.50\nVolume: 7\n")
    write(os.path.join(w, "tpl", "t.htm"), "<p>%%PRICE%% %%CELL%%</p>\n")
    os.makedirs(os.path.join(w, "out"), exist_ok=True)
    rule = os.path.join(w, "rule.rul")
    original = writer_output(w, REFERENCE.format(w=w).replace(
        "&ScanFile1:\r\nHttpURL = http://127.0.0.1:8099\r\nServerDir = /dir\r\n"
        "ServerFile = page.htm\r\nScanFile Name = web.htm\r\nScanFile Path = {w}/scan\r\n"
        "TITLE=<title>????</title>::1\r\n\r\n&ScanFile2:".format(w=w), "&ScanFile1:")
        .replace("ReSchedule Interval= 300\r\n", "ReSchedule Interval= 3601\r\n"))
    open(rule, "wb").write(original)
    settings({"Preferences": {"AskFileName": "0"}})
    app = Kolvane([], cwd=w)
    try:
        sheet = open_for_edit(app, rule)
        sheet.page("Scan File Scan Variable Info")
        sheet.set("Scan Variable No.", "2")
        wait_for("PRICE shown", lambda: sheet.get("Scan Variable Name:") == "PRICE")
        sheet.set("Start Pattern", "ice:")
        sheet.button("OK")
        answer_run_now(sheet, "Yes")
        page = os.path.join(w, "out", "page.htm")
        wait_for("the output of the run", lambda: os.path.exists(page), 30)
    finally:
        app.stop()
    before = original.split(b"\r\n")
    after = open(rule, "rb").read().split(b"\r\n")
    changed = [(a, b) for a, b in zip(before, after) if a != b]
    if len(before) != len(after) or changed != [(b"PRICE=Price:??4??::1", b"PRICE=ice:??4??::1")]:
        raise Failure(f"changed lines: {changed}")
    if open(page).read() != "<p> 12. row t</p>\n":
        raise Failure(f"output {open(page).read()!r}")


def case_check_messages(work):
    """The pages' check messages and the refusal of a rule that would read back changed."""
    app = Kolvane([], cwd=work)
    try:
        sheet = new_rule_sheet(app)
        sheet.page("Scan File Scan Variable Info")
        sheet.button("Add")
        sheet.message("Add a scan file on the Scan File page first!")
        sheet.page("Scan File Command Section Info")
        sheet.button("Add")
        sheet.set("Ftp URL:", "ftp://h")
        if enabled(sheet.field("Http URL:")):
            raise Failure("Http URL stays open while an Ftp URL is typed")
        sheet.set("Scan File Path/Name on Local Machine:", f"{work}/s.txt")
        number = sheet.field("ScanFile Number:")
        number.queryComponent().grabFocus()
        number.queryEditableText().setTextContents("-2")
        sheet.field("Http URL:").queryComponent().grabFocus()  # checked when it is left
        sheet.message("Can't have a negative or non-integer Scan File Number!")
        sheet.page("Scan File Scan Variable Info")
        sheet.button("Add")
        sheet.button("Clear")
        sheet.page("Command Section")
        sheet.message("You just cleared the variable")
        sheet.set("Scan Variable Name:", "")
        sheet.set("Rule:", "??5x??")
        sheet.page("Command Section")
        sheet.message("Variable field may NOT be left Empty!")
        sheet.set("Scan Variable Name:", "V")
        sheet.page("Command Section")
        sheet.message("Pattern rule MUST be of the form ???? or ??XXX?? where each X is a digit!")
        sheet.set("Rule:", "????")
        sheet.set("Start Pattern", "Price")
        sheet.set("End Pattern", " C")
        sheet.button("OK")
        sheet.message('Scan File Number 1, Scan Variable No. 1, Scan Variable Name "V"')
        if sheet.get("End Pattern") != " C":
            raise Failure("the sheet did not stay on the variable")
        sheet.button("Cancel")
    finally:
        app.stop()


def options_rule(work):
    """A rule that runs once an hour and shows %%SYSDATE%%: the Options sheet needs a log window."""
    write(os.path.join(work, "s.txt"), "x\n")
    write(os.path.join(work, "t.htm"), "%%SYSDATE%%\n")
    return write(os.path.join(work, "r.rul"),
                 "&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = .\r\n"
                 "OutputFile Name = o.htm\r\nOutputFile Path = .\r\nErrorLogFile Name = e.log\r\n"
                 "ErrorLogFile Path = .\r\nReSchedule Interval= 1 H\r\n\r\n&ScanFile1:\r\n"
                 "ScanFile Name = s.txt\r\nScanFile Path = .\r\n")


def run_over(app):
    """Waits until the rule given on the command line has run (its log window counts down)."""
    app.log_table(60)
    wait_for("the countdown", countdown_shown(app), 60)


def open_options(app):
    run_over(app)
    app.press_menu("&Tools", "&Options...", modal=True)
    return Sheet(app, "Kolvane")


def case_options_sheet(work):
    """The Filters page's operations and messages, the settings file they leave (entries above
    the list removed, an entry without "|" skipped), and the date style the next run uses."""
    settings({"File Filters": {"Filter1": "Rule Files|*.rul", "Filter2": "broken",
                               "Filter3": "Text|*.txt", "Filter4": "Old|*.old"}})
    rule = options_rule(work)
    app = Kolvane([rule], cwd=work)
    try:
        sheet = open_options(app)
        box = sheet.field("Editor Application:")
        box.queryEditableText().setTextContents("xdg-open")
        checks = {n.name.replace("_", ""): n for n in walk(sheet.node)
                  if n.getRole() == pyatspi.ROLE_CHECK_BOX}
        checks["Display U.S. Date/Time for %%SYSDATE%%/%%SYSTIME%%"].queryAction().doAction(0)
        app.screenshot("options-preferences-page.png")
        sheet.page("Filters")
        sheet.set("Description:", "d" * 31)
        sheet.button("Add")
        sheet.message("Filter Description must be 30 characters or less!")
        sheet.set("Description:", "Web")
        sheet.set("Filter:", " ; ;")
        sheet.button("Add")
        sheet.message("Filter may NOT be empty!")
        sheet.set("Filter:", "a/b")
        sheet.button("Add")
        sheet.message("/ is NOT a valid file filter character!")
        sheet.set("Filter:", "*.htm; *.html")
        sheet.button("Add")
        app.screenshot("options-filters-page.png")
        sheet.button("OK")
        wait_for("the sheet to close", lambda: not showing(sheet.node), 10)
    finally:
        app.stop()
    stored = read_settings()
    filters = stored.get("File Filters", {})
    want = {"Filter1": "Rule Files|*.rul", "Filter2": "Text|*.txt", "Filter3": "Old|*.old",
            "Filter4": "Web|*.htm;*.html"}
    if filters != want:
        raise Failure(f"stored filters {filters}")
    prefs = stored.get("Preferences", {})
    if "Editor" in prefs or prefs.get("DateDisplay") != "0":
        raise Failure(f"stored preferences {prefs}")
    out = subprocess.run([KOLVANE_RUN, "--once", rule], cwd=work, capture_output=True)
    if out.returncode != 0 or "." not in open(os.path.join(work, "o.htm")).read():
        raise Failure("the next run does not use the European date style")


def case_prompt_edit_button(work):
    """The rule-file prompt's "Edit Rule File": without a chosen file it asks for one and stays;
    with one it opens the editor on that file instead of running it."""
    rule = write(os.path.join(work, "rules", "r.rul"),
                 "&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = .\r\n"
                 "OutputFile Name = o.htm\r\nOutputFile Path = .\r\nErrorLogFile Name = e.log\r\n"
                 "ErrorLogFile Path = .\r\n\r\n&ScanFile1:\r\nScanFile Name = s.txt\r\n"
                 "ScanFile Path = .\r\nV=?All?\r\n")
    app = Kolvane([], cwd=work)
    try:
        chooser = app.find(lambda n: n.getRole() in (pyatspi.ROLE_FILE_CHOOSER, pyatspi.ROLE_DIALOG)
                           and n.name == "Select a rule file and Run Rule", "the prompt", 30)
        edit = wait_for("the Edit Rule File button", lambda: find(
            chooser, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and showing(n) and
            n.name.replace("_", "") == "Edit Rule File"))
        click_at(*centre(edit))  # it may open a message box: a real click does not wait for it
        Sheet.message(type("S", (), {"app": app})(),
                      "Please select a Rule File then Reselect 'Edit Rule File' Button")
        xdotool("mousemove", "--sync", *centre(chooser))
        xdotool("key", "ctrl+l")
        entry = wait_for("the location field", lambda: find(
            chooser, lambda n: n.getRole() == pyatspi.ROLE_TEXT and showing(n) and
            pyatspi.STATE_EDITABLE in n.getState().getStates()))
        # Into the rule's folder, where the chooser selects the only file.
        entry.queryEditableText().setTextContents(os.path.dirname(rule) + "/")
        xdotool("mousemove", "--sync", *centre(entry))
        xdotool("key", "Return")
        wait_for("the rule file listed", lambda: find(
            chooser, lambda n: n.name == "r.rul" and showing(n), skip_tables=False), 10)
        click_at(*centre(edit))
        sheet = Sheet(app, "Editing - " + rule)
        sheet.page("Scan File Scan Variable Info")
        if sheet.get("Scan Variable Name:") != "V":
            raise Failure("the editor does not show the chosen rule")
        sheet.button("Cancel")
    finally:
        app.stop()
    if os.path.exists(os.path.join(work, "rules", "o.htm")):
        raise Failure("the rule was run instead of edited")


def case_filters_page(work):
    """Up, Down, Replace and Remove offered as the selection allows, double-click loading a line
    into the fields, Add; OK stores exactly the list shown, in order."""
    app = Kolvane([options_rule(work)], cwd=work)  # nothing stored: the three built-in filters
    try:
        sheet = open_options(app)
        sheet.page("Filters")
        table = wait_for("the filter list", lambda: find(sheet.node, lambda n: n.getRole() in (
            pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE) and showing(n)))

        def shown():
            t = table.queryTable()
            return [t.getAccessibleAt(r, 0).name + "|" + t.getAccessibleAt(r, 1).name
                    for r in range(t.nRows)]

        def offered():
            return {b for b in ("Up", "Down", "Replace", "Remove") if enabled(button(sheet.node, b))}

        def expect(lines, buttons):
            try:
                wait_for(f"{lines} with {buttons} offered",
                         lambda: shown() == lines and offered() == buttons, 10)
            except Failure:
                raise Failure(f"shown {shown()}, offered {offered()}")

        rule, text, every = "Rule Files|*.rul", "Text|*.txt", "All Files|*.*"
        expect([rule, text, every], set())
        table.queryTable().addRowSelection(2)
        expect([rule, text, every], {"Up", "Replace", "Remove"})
        sheet.button("Up")
        expect([rule, every, text], {"Up", "Down", "Replace", "Remove"})
        sheet.button("Up")
        expect([every, rule, text], {"Down", "Replace", "Remove"})
        sheet.button("Down")
        expect([rule, every, text], {"Up", "Down", "Replace", "Remove"})
        click_at(*centre(table.queryTable().getAccessibleAt(1, 0)), double=True)
        wait_for("the line in the fields", lambda: (sheet.get("Description:"), sheet.get("Filter:"))
                 == ("All Files", "*.*"), 10)
        sheet.set("Filter:", "*")
        sheet.button("Replace")
        expect([rule, "All Files|*", text], set())
        table.queryTable().addRowSelection(0)
        expect([rule, "All Files|*", text], {"Down", "Replace", "Remove"})
        sheet.button("Remove")
        expect(["All Files|*", text], set())
        sheet.set("Description:", "Web")
        sheet.set("Filter:", "*.htm; *.html")
        sheet.button("Add")
        want = ["All Files|*", text, "Web|*.htm;*.html"]
        expect(want, set())
        sheet.button("OK")
        wait_for("the sheet to close", lambda: not showing(sheet.node), 10)
    finally:
        app.stop()
    stored = read_settings().get("File Filters", {})
    if stored != {f"Filter{i}": line for i, line in enumerate(want, 1)}:
        raise Failure(f"stored filters {stored}")


def rule_of(w, files):
    """A rule on local scan files: `files` lists (file name, its variables' names), each variable
    a line-column extract (a whole-file rule would end the scan file's variables)."""
    text = (f"&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = {w}\r\n"
            f"OutputFile Name = o.htm\r\nOutputFile Path = {w}\r\n"
            f"ErrorLogFile Name = e.log\r\nErrorLogFile Path = {w}\r\n\r\n")
    for n, (name, names) in enumerate(files, 1):
        text += f"&ScanFile{n}:\r\nScanFile Name = {name}\r\nScanFile Path = {w}\r\n"
        text += "".join(f"{v}=r1c1????r1c2\r\n" for v in names) + "\r\n"
    return text


def edit_and_save(work, files, edit):
    """Opens the rule of `files` for editing, runs `edit(sheet)`, saves with OK (no file-name
    prompt) and returns the saved rule."""
    rule = os.path.join(work, "rule.rul")
    open(rule, "wb").write(writer_output(work, rule_of(work, files)))
    settings({"Preferences": {"AskFileName": "0"}})
    app = Kolvane([], cwd=work)
    try:
        sheet = open_for_edit(app, rule)
        edit(sheet)
        sheet.button("OK")
        answer_run_now(sheet, "No")
    finally:
        app.stop()
    return open(rule, "rb").read()


def shows(sheet, want):
    """Waits until the labelled fields hold the texts of `want` (label: text)."""
    try:
        wait_for(f"the page to show {want}", lambda: all(
            sheet.get(label) == text for label, text in want.items()), 10)
    except Failure:
        raise Failure(f"the page shows {({label: sheet.get(label) for label in want})}, not {want}")


def case_scan_file_delete(work):
    """Delete on the Scan File page takes the scan file and its variables away, renumbers the
    later ones with their variables, and shows the same number (the new last at the end)."""
    def edit(sheet):
        sheet.page("Scan File Command Section Info")
        local = "Scan File Path/Name on Local Machine:"
        sheet.set("ScanFile Number:", "2")
        shows(sheet, {local: f"{work}/f2.txt"})
        sheet.button("Delete")
        shows(sheet, {"ScanFile Number:": "2", local: f"{work}/f3.txt"})
        sheet.set("ScanFile Number:", "9")
        shows(sheet, {"ScanFile Number:": "3", local: f"{work}/f4.txt"})
        sheet.button("Delete")
        shows(sheet, {"ScanFile Number:": "2", local: f"{work}/f3.txt"})
    files = [("f1.txt", ["A"]), ("f2.txt", ["B"]), ("f3.txt", ["C", "D"]), ("f4.txt", ["E"])]
    saved = edit_and_save(work, files, edit)
    expected = writer_output(work, rule_of(work, [files[0], files[2]]))
    if saved != expected:
        raise Failure(f"saved rule:\n{saved!r}\nexpected:\n{expected!r}")


def case_scan_var_delete(work):
    """Delete on the Scan Variable page renumbers the scan file's later variables and shows the
    same number (the new last at the end); deleting the only one leaves number 0, Delete greyed."""
    def edit(sheet):
        sheet.page("Scan File Scan Variable Info")
        name, number = "Scan Variable Name:", "Scan Variable No."
        shows(sheet, {name: "A"})
        sheet.button("Delete")
        shows(sheet, {number: "1", name: "B"})
        sheet.set(number, "2")
        shows(sheet, {name: "C"})
        sheet.button("Delete")
        shows(sheet, {number: "1", name: "B"})
        sheet.set("ScanFile Number", "2")
        shows(sheet, {name: "X"})
        sheet.button("Delete")
        shows(sheet, {number: "0"})
        wait_for("Delete greyed", lambda: not enabled(button(sheet.node, "Delete")), 10)
    saved = edit_and_save(work, [("f1.txt", ["A", "B", "C"]), ("f2.txt", ["X"])], edit)
    expected = writer_output(work, rule_of(work, [("f1.txt", ["B"]), ("f2.txt", [])]))
    if saved != expected:
        raise Failure(f"saved rule:\n{saved!r}\nexpected:\n{expected!r}")


def case_sheet_help(work):
    """Help on each page of the Options sheet and of the editor opens that page's topic; stopped
    while the help window holds the input over a sheet, the program still exits cleanly."""
    def editor(app):
        run_over(app)
        app.press_menu("&File", "New...", "New &Rule File", modal=True)
        return Sheet(app, "Creating New Rule File")
    rule = options_rule(work)
    for opener, pages in ((open_options, (("Preferences", "Options: Preferences"),
                                          ("Filters", "Options: Filters"))),
                          (editor, (("Command Section", "Rule Editor: Command Section"),
                                    ("Scan File Command Section Info", "Rule Editor: Scan File"),
                                    ("Scan File Scan Variable Info", "Rule Editor: Scan Variable")))):
        app = Kolvane([rule], cwd=work)
        try:
            sheet = opener(app)
            for tab, title in pages:
                sheet.page(tab)
                sheet.button("Help")
                wait_for(f"the help window titled {title!r}", lambda: find(
                    app.app(), lambda n: n.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG)
                    and n.name == "Kolvane Help: " + title, max_depth=1), 20)
            app.proc.terminate()
            if app.wait_exit(30) != 0:
                raise Failure(f"stopped over the help window, the program exited with {app.proc.returncode}")
        finally:
            app.stop()


CASES = {name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    main(CASES, timeout=220)
