#!/usr/bin/env python3
"""How the cost of one `kolvane-run --once` grows with the work, as a Markdown table.

    bench/scaling.py [--bin build/bin/kolvane-run] [--dir /tmp/kolvane-scaling] [--runs 5]
                     [--only TEXT]

Each line grows one thing and keeps the rest small: the number of scan files, the variables of
one scan file, the size of the scan files, the markers in the template, and the scan-file size
under start keys that share their first bytes (the shapes engine_bench measures; the text is
scanned once per section, as many sections as the rule file holds). Per size:
the least CPU time (user + system of the child) over the runs and the peak resident memory.
"per unit" compares the CPU time that each unit adds over the last step (the two largest sizes)
with the time each adds from the smallest size to the next to largest: 1.0 is linear; a cost
that grows with the square of the size shows about 11 when the sizes grow tenfold; more than 2
says the line is not linear. The largest sizes stay within
the 480000 bytes a rule file, a template and a scan file may hold, which caps the variables of
one file and the markers of one template below 100000.
"""
import argparse
import os
import shutil
import subprocess
import sys

LIMIT = 480000
NOISE_MS = 1.0  # less CPU time than this between two sizes is not told from noise


def b36(i):
    digits = "0123456789abcdefghijklmnopqrstuvwxyz"
    s = ""
    while True:
        s = digits[i % 36] + s
        i //= 36
        if not i:
            return s


def write(path, data):
    with open(path, "wb") as f:
        f.write(data.encode("latin-1") if isinstance(data, str) else data)


def workload(d, sections, template):
    """sections: list of (file name, bytes, [(var name, rule)])."""
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    rule = ["&command:", "TemplateFile Name = t.htm", "TemplateFile Path = .",
            "OutputFile Name = out.htm", "OutputFile Path = .", "ErrorLogFile Name = err.log",
            "ErrorLogFile Path = .", ""]
    written = set()
    for n, (name, data, variables) in enumerate(sections, 1):
        if name not in written:
            write(os.path.join(d, name), data)
            written.add(name)
        rule += ["&ScanFile%d" % n, "ScanFile Name=" + name, "ScanFile Path=."]
        rule += ["%s=%s" % v for v in variables]
    text = "\n".join(rule) + "\n"
    if len(text) > LIMIT or len(template) > LIMIT:
        sys.exit("scaling: a rule file or template passes %d bytes" % LIMIT)
    write(os.path.join(d, "r.rul"), text)
    write(os.path.join(d, "t.htm"), template)
    os.chmod(os.path.join(d, "r.rul"), 0o644)


def files_line(n):
    scan = "".join("line %d of the report\n" % i for i in range(44))[:1000]
    return [(b36(i), scan, []) for i in range(n)], "%%SYSDATE%%\n"


def vars_line(n):
    names = [b36(i) for i in range(n)]
    scan = "".join("K%s: %d ;\n" % (k, i) for i, k in enumerate(names))
    rules = [("v" + k, "K%s:???? ;" % k) for k in names]
    return [("s", scan, rules)], "".join("%%%%v%s%%%%\n" % k for k in names)


def size_line(size):
    keys = ["Total %d:" % i for i in range(10)]
    tail = "".join("%s %d ;\n" % (k, i) for i, k in enumerate(keys))
    body = ("stock row 00000 widget 12 pcs\n" * (size // 30 + 1))[:size - len(tail)]
    rules = [("v%d" % i, "%s???? ;" % k) for i, k in enumerate(keys)]
    sections = [("s%d" % f, body + tail, rules if f == 0 else []) for f in range(20)]
    return sections, "".join("%%%%v%d%%%%\n" % i for i in range(10))


def markers_line(n):
    return [("s", "val: 7 ;\n", [("a", "val:???? ;")])], "%%a%%\n" * n


SHAPES = {  # start key ("%d": the variable's number), variables, the repeated unit of the text
    "prefix-run": ("AAAA%dx", 2000, "A"),
    "long-shared": ("A" * 250 + "%05d", 100, "A"),
    "sections": ("==================== Section %03d", 2000, "==================== Section \n"),
    "high-bytes": ("\xe9\xe9\xe9\xe9%dx", 2000, "\xe9"),
    "repetitive": ("abab%d:", 2000, "ab"),
    "nibble-decoys": ("abcd%dx", 2000, "aRST"),
}


def shape_line(shape, size):
    key, count, unit = SHAPES[shape]
    text = (unit * (size // len(unit) + 1))[:size - 1] + "\n"
    sections = []  # the same text under as many sections as the rule file holds (8 at most)
    while len(sections) < 8:
        rules = [("v%d_%d" % (len(sections), i), (key % i) + "????end") for i in range(count)]
        if sum(len(n) + len(r) + 2 for n, r in rules) * (len(sections) + 1) > LIMIT - 10000:
            break
        sections.append(("s", text, rules))
    return sections, "%%v0_0%%\n"


def measure(binary, d, runs):
    """The least CPU time (ms) and the largest peak RSS (MB) of `runs` runs. The child is
    started by /usr/bin/time, whose report of the peak excludes this script's own memory (a
    child forked from Python inherits its high-water mark)."""
    best, peak, report = None, 0, os.path.join(d, "time.txt")
    for _ in range(runs):
        child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", report, binary, "--once",
                                  os.path.join(d, "r.rul")],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        if os.waitstatus_to_exitcode(status) not in (0, 1):
            sys.exit("scaling: kolvane-run failed in " + d)
        cpu = (usage.ru_utime + usage.ru_stime) * 1000
        best = cpu if best is None else min(best, cpu)
        with open(report) as f:
            peak = max(peak, int(f.read().split()[-1]) / 1024)
    return best, peak


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description="kolvane-run cost against the size of the work")
    ap.add_argument("--bin", default=os.path.join(root, "build/bin/kolvane-run"))
    ap.add_argument("--dir", default="/tmp/kolvane-scaling")
    ap.add_argument("--runs", type=int, default=7, help="runs per size (fewer at the largest)")
    ap.add_argument("--only", default="", help="only the lines whose title holds this text")
    a = ap.parse_args()
    lines = [("scan files", "files", files_line, [10, 100, 1000, 10000])]
    lines.append(("variables of one scan file", "vars", vars_line, [10, 100, 1000, 10000, 25000]))
    lines.append(("scan-file size (20 files)", "bytes", size_line, [1000, 10000, 100000, LIMIT]))
    lines.append(("markers in the template", "markers", markers_line, [10, 100, 1000, 10000, 75000]))
    for shape in SHAPES:
        lines.append(("shared prefix: " + shape, "bytes", lambda n, s=shape: shape_line(s, n),
                      [1000, 10000, 100000, 470000]))
    print("| line | sizes | CPU ms | peak RSS MB | per unit, largest / smallest step |")
    print("|---|---|---|---|---|")
    for title, unit, make, sizes in lines:
        if a.only not in title:
            continue
        times, peaks = [], []
        for i, n in enumerate(sizes):
            d = os.path.join(a.dir, "w")
            workload(d, *make(n))
            t, rss = measure(a.bin, d, a.runs if i + 1 < len(sizes) else max(2, a.runs // 2))
            times.append(t)
            peaks.append(rss)
        lower = times[-2] - times[0]
        upper = (times[-1] - times[-2]) / (sizes[-1] - sizes[-2])
        if times[-1] - times[0] < NOISE_MS:
            ratio = "flat (grows < %g ms)" % NOISE_MS
        else:
            ratio = ("n/a (the smaller sizes differ by less than %g ms)" % NOISE_MS
                     if lower < NOISE_MS else "%.2f" % (upper / (lower / (sizes[-2] - sizes[0]))))
        print("| %s | %s %s | %s | %s | %s |" % (
            title, " / ".join(str(n) for n in sizes), unit,
            " / ".join("%.1f" % t for t in times), " / ".join("%.1f" % p for p in peaks), ratio))
        sys.stdout.flush()
    shutil.rmtree(a.dir, ignore_errors=True)


if __name__ == "__main__":
    main()
