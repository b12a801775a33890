#!/usr/bin/python3
"""compare.py: times xlsx-upload and its peers on the generated reports and
prints them side by side, with the ratios against the targets. Called by ./run,
which installs, builds and generates what this needs.

Every tool runs under /usr/bin/time (its "Maximum resident set size" is the
peak memory, user + system the CPU time); the wall time is the clock around
the run. The tools take turns, round after round, so that a machine whose load
changes during the run (other builds) slows them alike; the best run of each
counts. CPU time is printed beside the wall time: on a busy machine it is the
steadier of the two.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

SHEET = "xl/worksheets/sheet2.xml"  # the report's worksheet: the second one
STRINGS = "xl/sharedStrings.xml"


class Entry:
    def __init__(self, label, argv, runs, check=""):
        self.label, self.argv, self.runs, self.check = label, argv, runs, check
        self.walls, self.cpus, self.rss = [], [], 0
        self.refused = ""

    def best_wall(self):
        return min(self.walls) if self.walls else None

    def best_cpu(self):
        return min(self.cpus) if self.cpus else None


def timed(argv, scratch):
    figures = os.path.join(scratch, "time.out")
    start = time.perf_counter()
    subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", figures] + argv,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    wall = time.perf_counter() - start
    with open(figures) as f:
        user, system, rss = f.read().split()[-3:]
    return wall, float(user) + float(system), int(rss)


def upload_check(program, path):
    """Runs one of our programs: (objects, digest of the upload without the
    file's name) or the refusal message."""
    done = subprocess.run([program, path], capture_output=True, check=False)
    if done.returncode != 0:
        return None, None, done.stderr.decode(errors="replace").strip()
    name = os.path.basename(path).encode()
    digest = hashlib.sha256(done.stdout.replace(name, b"F")).hexdigest()
    return done.stdout.count(b'"numeFisier"'), digest, ""


def orcus_rows(path, scratch):
    out = os.path.join(scratch, "orcus")
    shutil.rmtree(out, ignore_errors=True)
    subprocess.run(["orcus-xlsx", "-f", "csv", "-o", out, path],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    try:
        with open(os.path.join(out, "Incasari.csv"), "rb") as f:
            return sum(1 for line in f if line.strip())
    except OSError:
        return 0
    finally:
        shutil.rmtree(out, ignore_errors=True)


def last_line(argv):
    done = subprocess.run(argv, capture_output=True, check=False)
    lines = done.stdout.decode(errors="replace").strip().splitlines()
    return lines[-1].split(": ", 1)[-1] if lines else "failed: " + done.stderr.decode()[-200:]


def ratio(a, b):
    return a / b if a is not None and b else None


def fmt(value, digits=3):
    return "-" if value is None else "%.*f" % (digits, value)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--data", required=True)
    p.add_argument("--tool", required=True)
    p.add_argument("--unlimited", required=True)
    p.add_argument("--sheetjs", required=True)
    p.add_argument("--openpyxl", required=True)
    p.add_argument("--python", default="/usr/bin/python3")
    p.add_argument("--repeat", type=int, default=3)
    p.add_argument("--skip-million", action="store_true")
    p.add_argument("--million-peers", action="store_true")
    args = p.parse_args()

    reports = [("r100k", True)]
    if not args.skip_million:
        reports.append(("r1m", args.million_peers))

    results = {}
    digests = {}
    with tempfile.TemporaryDirectory() as scratch:
        load_before = open("/proc/loadavg").read().split()[:3]
        for name, peers in reports:
            for variant in ("inline", "shared"):
                path = os.path.join(args.data, "%s-%s.xlsx" % (name, variant))
                with zipfile.ZipFile(path) as z:
                    sizes = {i.filename: i.file_size for i in z.infolist()}
                parts = [part for part in (SHEET, STRINGS) if part in sizes]
                print("compare: %s-%s.xlsx: %s" % (name, variant, ", ".join(
                    "%s %.1f MB" % (part, sizes[part] / 1048576) for part in parts)), flush=True)

                entries = [Entry("floor (unzip -p)", ["unzip", "-p", path] + parts, args.repeat)]
                for label, program in (("xlsx-upload", args.tool),
                                       ("(limits lifted)", args.unlimited)):
                    objects, digest, refused = upload_check(program, path)
                    entry = Entry(label, [program, path], args.repeat, "%s objects" % objects)
                    entry.refused = refused
                    if program == args.unlimited:
                        digests[(name, variant)] = digest
                    entries.append(entry)
                entries.append(Entry("orcus-xlsx (load)", ["orcus-xlsx", "-f", "none", path],
                                     args.repeat, "%d rows read" % orcus_rows(path, scratch)))
                if peers:
                    argv = ["node", args.sheetjs, path]
                    entries.append(Entry("SheetJS", argv, 1, last_line(argv)))
                    argv = [args.python, args.openpyxl, path]
                    entries.append(Entry("openpyxl read-only", argv, 1, last_line(argv)))

                for round_ in range(args.repeat):
                    for entry in entries:
                        if entry.refused or round_ >= entry.runs:
                            continue
                        wall, cpu, rss = timed(entry.argv, scratch)
                        entry.walls.append(wall)
                        entry.cpus.append(cpu)
                        entry.rss = max(entry.rss, rss)
                for entry in entries:
                    results[(name, variant, entry.label)] = entry
            if digests.get((name, "inline")) != digests.get((name, "shared")):
                print("compare: WARNING: the uploads of %s-inline and %s-shared differ"
                      % (name, name), file=sys.stderr)
        load_after = open("/proc/loadavg").read().split()[:3]

    print()
    print("%d cores; load average %s before, %s after; best of %d rounds"
          " (SheetJS and openpyxl: one run)" % (os.cpu_count(), " ".join(load_before),
                                                 " ".join(load_after), args.repeat))
    print("%-6s %-7s %-19s %8s %8s %8s %8s %8s  %s" % (
        "report", "strings", "tool", "wall s", "cpu s", "peak MB", "wall/fl", "cpu/fl", "check"))
    for (name, variant, label), entry in results.items():
        floor = results[(name, variant, "floor (unzip -p)")]
        if entry.refused:
            print("%-6s %-7s %-19s %8s %8s %8s %8s %8s  refused: %s" % (
                name, variant, label, "-", "-", "-", "-", "-", entry.refused))
            continue
        print("%-6s %-7s %-19s %8s %8s %8.0f %8s %8s  %s" % (
            name, variant, label, fmt(entry.best_wall()), fmt(entry.best_cpu()),
            entry.rss / 1024, fmt(ratio(entry.best_wall(), floor.best_wall()), 2),
            fmt(ratio(entry.best_cpu(), floor.best_cpu()), 2), entry.check))

    def verdict(value, limit, at_most=True):
        if value is None:
            return "n/a"
        return "met" if (value <= limit if at_most else value >= limit) else "MISSED"

    print()
    print("Targets (shared: the report as Excel stores it; inline: as openpyxl writes it):")
    for variant in ("shared", "inline"):
        get = lambda label, name="r100k": results[(name, variant, label)]
        up, floor, orcus = get("xlsx-upload"), get("floor (unzip -p)"), get("orcus-xlsx (load)")
        w = ratio(up.best_wall(), floor.best_wall())
        c = ratio(up.best_cpu(), floor.best_cpu())
        print("  [%s] xlsx-upload / floor, 100k rows: wall %s, cpu %s (<= 2.00: %s)"
              % (variant, fmt(w, 2), fmt(c, 2), verdict(w, 2.0)))
        if orcus.check.startswith("0 "):
            print("  [%s] orcus-xlsx reads no cell of this file (it does not follow the absolute"
                  " relationship targets openpyxl writes): no comparison" % variant)
        else:
            o = ratio(orcus.best_wall(), up.best_wall())
            print("  [%s] orcus-xlsx / xlsx-upload, 100k rows: wall %s (>= 2.50: %s)"
                  % (variant, fmt(o, 2), verdict(o, 2.5, at_most=False)))
            print("  [%s] peak memory, 100k rows: xlsx-upload %.0f MB, orcus-xlsx %.0f MB (<=: %s)"
                  % (variant, up.rss / 1024, orcus.rss / 1024,
                     "met" if up.rss <= orcus.rss else "MISSED"))
        if not args.skip_million:
            small, big = get("(limits lifted)"), get("(limits lifted)", "r1m")
            w = ratio(big.best_wall(), small.best_wall())
            c = ratio(big.best_cpu(), small.best_cpu())
            print("  [%s] 1M / 100k rows (limits lifted): wall %s, cpu %s (<= 10.50: %s)"
                  % (variant, fmt(w, 2), fmt(c, 2), verdict(w, 10.5)))


if __name__ == "__main__":
    main()
