#!/usr/bin/python3
"""Reading a large phone book as a user meets it: the whole `tessera-cli info` process against
the whole `iconv -f CP932 -t UTF-8` process on the same file, run in turn, side by side.

    bench/whole_process.py [--build DIR] [--runs N] [--file FILE]

Without --file it writes the varied 100 000-record phone book (bench_textform_bench
--write-varied) into a temporary folder. Prints the best and the median wall time of each,
their ratios (iconv time / tessera time: 1.0 or more means tessera is as fast), and the
peak memory of the read above the program's start-up (the peak of `info` on a file of one
record), against the file size. With --vcard it also times the bundled vCard filter's export
of the same file (the program the window runs for export to vCard), whole process.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv, stdin=None):
    """Wall seconds and peak resident KiB of one process (output thrown away)."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        proc = subprocess.Popen(argv, stdin=stdin, stdout=null, stderr=null)
        _, status, usage = os.wait4(proc.pid, 0)
        seconds = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        sys.exit("failed (%d): %s" % (proc.returncode, " ".join(argv)))
    return seconds, usage.ru_maxrss


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(here, "..", "build-test"))
    ap.add_argument("--runs", type=int, default=21)
    ap.add_argument("--file")
    ap.add_argument("--vcard", action="store_true")
    args = ap.parse_args()

    cli = os.path.join(args.build, "cli", "tessera-cli")
    gen = os.path.join(args.build, "bench", "bench_textform_bench")
    with tempfile.TemporaryDirectory() as tmp:
        path = args.file
        if path is None:
            path = os.path.join(tmp, "varied.tsr")
            subprocess.run([gen, "--write-varied=" + path], check=True)
        # One record line of the same file: what the program takes before it reads much.
        small = os.path.join(tmp, "one.tsr")
        with open(path, "rb") as f:
            head = b"".join(f.readline() for _ in range(3))
        with open(small, "wb") as f:
            f.write(head + b"\x1a")

        size = os.path.getsize(path)
        tessera, iconv, rss = [], [], []
        start_rss = min(run([cli, "info", small])[1] for _ in range(3))
        run([cli, "info", path])  # the file into the page cache
        for _ in range(args.runs):
            t, m = run([cli, "info", path])
            tessera.append(t)
            rss.append(m)
            iconv.append(run(["iconv", "-f", "CP932", "-t", "UTF-8", path])[0])
        vcard = []
        if args.vcard:
            filt = os.path.join(args.build, "filters", "tsr-vcard")
            out = os.path.join(tmp, "out.vcf")
            for _ in range(max(3, args.runs // 3)):
                with open(path, "rb") as f:
                    vcard.append(run([filt, "-V", "1", "-E", out, "-T", "1"], stdin=f)[0])

    med_t, med_i = statistics.median(tessera), statistics.median(iconv)
    best_t, best_i = min(tessera), min(iconv)
    print("file: %.1f MB, %d runs each, load average %s" %
          (size / 1e6, args.runs, " ".join("%.2f" % x for x in os.getloadavg())))
    print("%-18s %10s %10s" % ("", "best s", "median s"))
    print("%-18s %10.4f %10.4f" % ("tessera-cli info", best_t, med_t))
    print("%-18s %10.4f %10.4f" % ("iconv", best_i, med_i))
    print("ratio (iconv / tessera): best %.2f, median %.2f" % (best_i / best_t, med_i / med_t))
    peak = statistics.median(rss)
    above = (peak - start_rss) * 1024
    print("memory: start-up %.1f MiB, peak %.1f MiB, read %.2f x file" %
          (start_rss / 1024, peak / 1024, above / size))
    if vcard:
        print("export to vCard (tsr-vcard): best %.4f s, median %.4f s" %
              (min(vcard), statistics.median(vcard)))
    print("targets: median ratio >= 1.00, read memory <= 3 x file")


if __name__ == "__main__":
    main()
