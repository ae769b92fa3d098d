#!/usr/bin/python3
# GUI case of a transfer that stalls, on its own display and session (see harness.py).
import os
import socket
import time

from harness import Failure, Kolvane, centre, main, wait_for, xdotool
from gui_test import finish, make_rule


def case_abort_stalled_fetch(work):
    """While a fetch waits on a server that never answers, the window answers at once, and a
    double-click on a log line ends the run, and with it the command line's program, within
    moments (not at the 60 s stall limit), keeping the old local copy."""
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(4)
    rule = make_rule(work, http_port=server.getsockname()[1], interval="3600")
    local = os.path.join(work, "scan files", "data one.txt")
    before = open(local).read()
    app = Kolvane([rule], cwd=work)
    try:
        table = app.log_table(60)
        server.settimeout(60)
        held = server.accept()[0]  # kept open; the request is read by nobody
        cell = wait_for("a log line", lambda: table.queryTable().nRows > 0 and
                        table.queryTable().getAccessibleAt(0, 0), 20)
        # Every accessibility call is answered by the program's main loop.
        slowest = 0.0
        for _ in range(20):
            start = time.monotonic()
            table.queryTable().getAccessibleAt(0, 0).name
            slowest = max(slowest, time.monotonic() - start)
        # The pointer's arrival and a first click give the list the focus; the double-click
        # comes after the double-click time, so that it is a pair of its own.
        xdotool("mousemove", "--sync", *centre(cell))
        time.sleep(0.5)
        xdotool("click", 1)
        time.sleep(1)
        start = time.monotonic()
        xdotool("click", "--repeat", 2, "--delay", 60, 1)
        # The command line's window, aborted, ends the program with 1.
        wait_for("the aborted program to end", app.exited, 20, 0.01)
        took = time.monotonic() - start
        if app.wait_exit(5) != 1:
            raise Failure("the aborted program did not end with 1")
        print(f"slowest answer during the stall {slowest:.3f} s; abort after {took:.3f} s")
        if slowest > 0.25 or took > 1.0:
            raise Failure(f"the stalled fetch held the window: {slowest:.3f} s, {took:.3f} s")
        if open(local).read() != before:
            raise Failure("the aborted fetch changed the local copy")
    finally:
        server.close()
        finish(app)


if __name__ == "__main__":
    main({"abort_stalled_fetch": case_abort_stalled_fetch})
