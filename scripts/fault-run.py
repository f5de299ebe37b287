#!/usr/bin/env python3
"""Puts small hand-made faults into the product code one at a time and sees
whether the tests catch each.

    scripts/fault-run.py LIST.json [BUILD_DIR] [--only NAME ...]

A list is a file of its own under scripts/faults/, kept once it has been run:
who wrote it, when, against which commit, and its faults. A list is judged by
how it was written: faults written from the product code and the reader's
tables by someone who has not read the tests, before anyone looks at which
tests catch them, say how well the tests catch faults nobody showed them; a
list written by the tests' own author after the tests says much less. Report
each list's figure apart.

Each fault is {name, area, file, before, after}, optionally "equivalent": why
no test or user can see it (run and shown, not counted). The areas, and the
tests run for each:
"""
import json
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The tests that cover each area: generous, since a fault shows wherever it
# shows.
WINDOWS = ["tst_mainwindow", "tst_receive", "tst_keyboard", "tst_sendline", "tst_commands", "tst_readerconfig",
           "tst_configfiles", "tst_ethernet", "tst_faults", "tst_e2e", "tst_livereader", "tst_logtofile"]
AREAS = {
    "protocol": ["tst_configstring", "tst_frames", "tst_tagdata", "tst_linefile", "tst_ctlformat", "tst_readersim",
                 "tst_zantoctl", "tst_readerconfig", "tst_commands", "tst_receivedgrid", "tst_rowline"],
    "receive": ["tst_pipeline", "tst_link", "tst_links", "tst_serialline", "tst_receivedgrid", "tst_counterbox",
                "tst_answerwatch", "tst_zantoctl"] + WINDOWS,
    "widgets": ["tst_receivedgrid", "tst_counterbox", "tst_messageline", "tst_saverows", "tst_stoppedsave"] + WINDOWS,
    "windows": WINDOWS + ["tst_screenfit_laptop_1.5", "tst_screenfit_laptop_1", "tst_screenfit_desktop_1"],
    "files": ["tst_textfile", "tst_filefaults", "tst_filesyscalls", "tst_configfiles", "tst_link", "tst_zantoctl",
              "tst_saverows", "tst_stoppedsave", "tst_rowline"]
             + WINDOWS,
    "zantoctl": ["tst_zantoctl", "tst_ctlformat", "tst_link", "tst_readersim"],
}
__doc__ += "".join(f"  {area}: {', '.join(tests)}\n" for area, tests in AREAS.items())


def run(cmd, **kwargs):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kwargs)


def main():
    args = sys.argv[1:]
    only = []
    if "--only" in args:
        at = args.index("--only")
        only, args = args[at + 1:], args[:at]
    if not args or not args[0].endswith(".json"):
        sys.exit(__doc__)
    listing = json.load(open(os.path.join(ROOT, args[0]) if not os.path.isabs(args[0]) else args[0], encoding="utf-8"))
    build = args[1] if len(args) > 1 else "build-faults"
    faults = [f for f in listing["faults"] if not only or f["name"] in only]
    if not os.path.exists(os.path.join(ROOT, build, "build.ninja")):
        r = run(["cmake", "-S", ".", "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"])
        if r.returncode:
            sys.exit(r.stdout)
    if run(["cmake", "--build", build]).returncode:
        sys.exit("the unchanged code does not build")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QT_LOGGING_RULES="qt.qpa.*=false")
    tally = {}  # area -> [caught, counted]
    skipped = equivalent = unbuilt = 0
    print(f"list: {args[0]} (written {listing.get('written', '?')} by {listing.get('by', '?')})", flush=True)
    for fault in faults:
        name, area, path = fault["name"], fault["area"], fault["file"]
        file = os.path.join(ROOT, path)
        original = open(file, encoding="utf-8").read()
        if original.count(fault["before"]) != 1:
            print(f"SKIPPED  {area:8} {name}: the text to change stands {original.count(fault['before'])} times in {path}",
                  flush=True)
            skipped += 1
            continue
        start = time.time()
        try:
            open(file, "w", encoding="utf-8").write(original.replace(fault["before"], fault["after"]))
            tests = AREAS[area]
            built = run(["cmake", "--build", build, "--target", *[t for t in tests if not t.startswith("tst_screenfit_")],
                         *(["tst_screenfit"] if any(t.startswith("tst_screenfit_") for t in tests) else [])])
            if built.returncode:
                verdict, detail = "BUILD", "does not build"
            else:
                ran = run(["ctest", "--test-dir", build, "-j2", "-R", "^(" + "|".join(re.escape(t) for t in tests) + ")$",
                           "--timeout", "300"], env=env)
                verdict = "caught" if ran.returncode else "MISSED"
                failed = re.findall(r"^\s+\d+ - (\S+) \(", ran.stdout, re.MULTILINE)
                detail = ", ".join(failed) or "-"
        finally:
            open(file, "w", encoding="utf-8").write(original)
        if "equivalent" in fault:
            equivalent += 1
            print(f"{verdict:7}  {area:8} {name}  [equivalent: {fault['equivalent']}]", flush=True)
            continue
        if verdict == "BUILD":
            # A fault the compiler refuses is no fault a user could meet.
            unbuilt += 1
            print(f"{verdict:7}  {area:8} {name}  [not counted]", flush=True)
            continue
        counts = tally.setdefault(area, [0, 0])
        counts[1] += 1
        if verdict != "MISSED":
            counts[0] += 1
        print(f"{verdict:7}  {area:8} {name}  [{detail}]  {time.time() - start:.0f} s", flush=True)
    caught = sum(c for c, _ in tally.values())
    counted = sum(n for _, n in tally.values())
    for area, (c, n) in sorted(tally.items()):
        print(f"  {area:8} {c} of {n} ({100.0 * c / max(1, n):.0f} %)")
    print(f"caught {caught} of {counted} ({100.0 * caught / max(1, counted):.0f} %); "
          f"{equivalent} equivalent and {unbuilt} that do not build not counted; {skipped} skipped")
    run(["cmake", "--build", build])


if __name__ == "__main__":
    main()
