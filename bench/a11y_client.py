#!/usr/bin/python3
# An accessibility client for bench/a11y_bench.sh, registered for the events a screen reader
# follows (object:children-changed, object:text-changed). `drain`: reads and counts every event
# as it comes and, as a screen reader does when a window appears, looks at each new program's
# windows down to its tables (which makes the toolkit create their accessible objects, and so
# announce their rows); `stall`: registers, looks once likewise, and never reads again, so the
# events pile up. Writes "ready" to standard output once registered; `drain` prints its count
# on SIGTERM.
import signal
import sys
import time

import pyatspi

mode = sys.argv[1] if len(sys.argv) > 1 else "drain"
count = 0


def on_event(event):
    global count
    count += 1
    if not event.type.startswith("object:children") and not event.type.startswith("object:text"):
        look()


for kind in ("object:children-changed", "object:text-changed", "window:create",
             "object:state-changed:showing"):
    pyatspi.Registry.registerEventListener(on_event, kind)
seen = set()
tables = 0


def look():
    """Walks every program not seen yet, as far as its tables' row counts."""
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is None or app.get_process_id() in seen or not app.childCount:
                continue
            queue = [app]
            while queue:
                node = queue.pop()
                if node.getRole() == pyatspi.ROLE_TABLE:
                    global tables
                    tables += node.queryTable().nRows >= 0
                    continue
                queue.extend(node.getChildAtIndex(i) for i in range(node.childCount))
            seen.add(app.get_process_id())
        except Exception:
            pass  # a program that went away while we looked
    return True


print("ready", flush=True)
if mode == "stall":
    while True:  # looks now and then, never reads the events
        look()
        time.sleep(0.2)

from gi.repository import GLib  # noqa: E402

GLib.timeout_add(200, look)


def stop(*_):
    print(f"events {count}, tables looked at {tables}", file=sys.stderr, flush=True)
    pyatspi.Registry.stop()


signal.signal(signal.SIGTERM, stop)
pyatspi.Registry.start()
