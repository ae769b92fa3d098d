#!/usr/bin/python3
"""Runs on change of `kolvane-run --watch`: the time from a scan file's rename to the new page on
disk (min, median, max over CHANGES changes, each a little over a second apart, since runs on
change come at most once a second), then the CPU the runner uses while it waits for changes
(IDLE seconds, from /proc/PID/schedstat).

    bench/watch_bench.py [--changes 50] [--idle 60] [--size BYTES] [KOLVANE_RUN]

KOLVANE_RUN defaults to build/bin/kolvane-run. The tree is made in a temporary folder: one scan
file of about --size bytes (default 20000) with the value near its end, a template, the rule."""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def cpu_ns(pid):
    with open(f"/proc/{pid}/schedstat") as f:
        return int(f.read().split()[0])


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--changes", type=int, default=50)
    p.add_argument("--idle", type=float, default=60)
    p.add_argument("--size", type=int, default=20000)
    p.add_argument("runner", nargs="?", default=os.path.join(ROOT, "build", "bin", "kolvane-run"))
    a = p.parse_args()
    with tempfile.TemporaryDirectory(prefix="kolvane-watch-bench-") as d:
        os.makedirs(os.path.join(d, "out"))
        filler = ("x" * 79 + "\n") * (a.size // 80)
        scan, page = os.path.join(d, "scan.txt"), os.path.join(d, "out", "page.htm")

        def scan_text(n):
            return f"{filler}Value: {n:08d} units\n"

        with open(scan, "w") as f:
            f.write(scan_text(0))
        with open(os.path.join(d, "t.htm"), "w") as f:
            f.write("<p>%%V%%</p>\n")
        with open(os.path.join(d, "bench.rul"), "w") as f:
            f.write("&command:\r\nTemplateFile Name = t.htm\r\nTemplateFile Path = .\r\n"
                    "OutputFile Name = page.htm\r\nOutputFile Path = out\r\n"
                    "ErrorLogFile Name = err.log\r\nErrorLogFile Path = out\r\n\r\n"
                    "&ScanFile1:\r\nScanFile Name = scan.txt\r\nScanFile Path = .\r\n"
                    "V=Value:???? units\r\n")
        proc = subprocess.Popen([a.runner, "--watch", "bench.rul"], cwd=d,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            def shows(n, deadline):
                want = f"{n:08d}"
                while time.monotonic() < deadline:
                    try:
                        with open(page) as f:
                            if want in f.read():
                                return True
                    except FileNotFoundError:
                        pass
                    time.sleep(0.0005)
                return False

            if not shows(0, time.monotonic() + 10):
                sys.exit("the first run wrote no page")
            latencies = []
            for n in range(1, a.changes + 1):
                time.sleep(1.05)  # past the second since the last run
                with open(scan + ".new", "w") as f:
                    f.write(scan_text(n))
                start = time.monotonic()
                os.rename(scan + ".new", scan)
                if not shows(n, start + 10):
                    sys.exit(f"change {n} never reached the page")
                latencies.append((time.monotonic() - start) * 1000)
            time.sleep(1.5)  # the last run is over
            before, t0 = cpu_ns(proc.pid), time.monotonic()
            time.sleep(a.idle)
            used, spent = cpu_ns(proc.pid) - before, time.monotonic() - t0
        finally:
            proc.terminate()
            proc.wait(5)
    print(f"rename to page, {len(latencies)} changes: min {min(latencies):.1f} ms, "
          f"median {statistics.median(latencies):.1f} ms, max {max(latencies):.1f} ms "
          f"(aim: median <= 300 ms)")
    print(f"CPU while waiting {spent:.0f} s: {used / 1e6:.2f} ms, "
          f"{100 * used / (spent * 1e9):.4f} % of a core (aim: < 0.5 %)")


if __name__ == "__main__":
    main()
