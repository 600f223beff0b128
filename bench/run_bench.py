#!/usr/bin/python3
"""Library-scan benchmark: how fast talhost (the plug-in through the stand-in
library, or the media library in --library DIR, under Wine) reports length and
tags for a folder of audio files, against what users would run instead (ffprobe
per file, one mutagen process), and what one plug-in query costs in file I/O.

    bench/run.sh [--files N] [--repeats R] [--library DIR] [--out DIR] [--baseline FILE.json]

Writes DIR/RESULTS.md, DIR/results.json and DIR/files_per_second.png
(DIR defaults to build/bench-results, so a run leaves the checkout as it
was). Every timing is wall-clock over the same corpus, repeated; tables give
the minimum and the median. ffprobe, one process per file, runs over a
stratified sample of each format's files (--ffprobe-all: every file); --full
makes the long run (every file for ffprobe, more talhost rounds). Tools
that are not installed (ffprobe, strace, mutagen, matplotlib) are skipped and
say so.
"""
import argparse
import json
import os
from pathlib import Path

import progress
from bench_common import BUILD, log
from benchmark import benchmark
from media_library import check_library
from mutagen_scan import mutagen_scan
from plot_rates import plot
from report import write_report
from report_tables import tools_table

# ffprobe costs a process start per file; this many files of each format meet every source of each format.
DEFAULT_FFPROBE_PER_FORMAT = 20
# A library-mode query costs the media library's Init/Free pair, some 3 ms: talhost's rounds over the small
# item sets take most of a run. These keep the default run within 5 minutes on a 2-core machine; --full takes
# the long run's.
DEFAULT_RUN = {"talhost_rounds": 1, "queries": 1000}
FULL_RUN = {"talhost_rounds": 3, "queries": 2000}


def argument_parser():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--files", type=int, default=2000, help="corpus size (default 2000)")
    p.add_argument("--repeats", type=int, default=3, help="timings per tool (default 3)")
    p.add_argument("--full", action="store_true",
                   help="the long run: ffprobe over every file, and talhost's rounds and queries as --talhost-rounds "
                   f"{FULL_RUN['talhost_rounds']} --queries {FULL_RUN['queries']} (unless given)")
    p.add_argument("--talhost-rounds", type=int,
                   help=f"talhost timings per repeat (default {DEFAULT_RUN['talhost_rounds']}, "
                   f"with --full {FULL_RUN['talhost_rounds']})")
    p.add_argument("--out", default=str(BUILD / "bench-results"),
                   help="folder for RESULTS.md, results.json and the plot (default build/bench-results)")
    p.add_argument("--corpus", default=str(BUILD / "bench-corpus"), help="corpus folder (reused when it matches)")
    p.add_argument("--work", default=str(BUILD / "bench-work"), help="scratch folder for the installed hosts")
    p.add_argument("--dist", default=os.environ.get("TANDREL_DIST", str(BUILD / "x64" / "dist")),
                   help="folder with talhost.exe, lumesrc.dll, bass.dll and the add-ons")
    p.add_argument("--library", help="folder with bass.dll and add-ons to run instead of the stand-in in --dist; "
                   "add-ons missing there are missing in the run")
    p.add_argument("--init-pairs", type=int, default=200,
                   help="BASS_Init/BASS_Free pairs initcost times each repeat (default 200)")
    p.add_argument("--wine", default=os.environ.get("TANDREL_WINE", "/usr/lib/wine/wine64"))
    p.add_argument("--wineserver", default=os.environ.get("TANDREL_WINESERVER", "/usr/lib/wine/wineserver"))
    p.add_argument("--wineprefix", default=os.environ.get("WINEPREFIX", str(BUILD / "bench-wineprefix64")))
    p.add_argument("--max-seconds", type=float, default=60, help="cap on each source's duration")
    p.add_argument("--per-format", type=int, default=60, help="files per format for the I/O count and format timing")
    p.add_argument("--queries", type=int,
                   help="queries per run for the small item sets (per format, zero-byte files), by repeating passes "
                   f"(default {DEFAULT_RUN['queries']}, with --full {FULL_RUN['queries']})")
    p.add_argument("--ffprobe-per-format", type=int, default=DEFAULT_FFPROBE_PER_FORMAT,
                   help=f"files of each format ffprobe runs over (default {DEFAULT_FFPROBE_PER_FORMAT})")
    p.add_argument("--ffprobe-all", action="store_true", help="ffprobe over every file of the corpus")
    p.add_argument("--skip", action="append", default=[], choices=["ffprobe", "mutagen", "strace"])
    p.add_argument("--fresh-corpus", action="store_true", help="rebuild the corpus even when one matches")
    p.add_argument("--baseline", help="results.json of an earlier run, reported as the figures before the changes")
    p.add_argument("--compare-dist", help="a second build whose talhost scans the corpus in the same rounds")
    p.add_argument("--compare-label", default="before", help="what to call the --compare-dist build")
    p.add_argument("--label", default="", help="a note stored with the results")
    p.add_argument("--from-results", help="write RESULTS.md and the plot again from a results.json, running nothing")
    p.add_argument("--mutagen-scan", help=argparse.SUPPRESS)
    p.add_argument("--ext", help=argparse.SUPPRESS)
    return p


def checked_run(p, args):
    """The benchmark, after the checks of its options (each failure ends the program with the reason)."""
    for name, value in (FULL_RUN if args.full else DEFAULT_RUN).items():
        if getattr(args, name) is None:
            setattr(args, name, value)
    args.ffprobe_all = args.ffprobe_all or args.full
    if args.files < 1 or args.repeats < 1:
        p.error("--files and --repeats must be at least 1")
    if args.talhost_rounds < 1 or args.queries < 1:
        p.error("--talhost-rounds and --queries must be at least 1")
    if args.ffprobe_per_format < 1:
        p.error("--ffprobe-per-format must be at least 1 (--ffprobe-all for every file)")
    if not (Path(args.dist) / "talhost.exe").exists():
        p.error(f"no talhost.exe in {args.dist} (build with scripts/build.sh or pass --dist)")
    if args.init_pairs < 1:
        p.error("--init-pairs must be at least 1")
    if args.library and not Path(args.library).is_dir():
        p.error(f"--library {args.library} is not a folder")
    problem = check_library(args.library or args.dist, args.dist)[1]
    if problem:
        p.error(problem)
    try:
        return benchmark(args)
    finally:
        progress.end_line()


def main():
    p = argument_parser()
    args = p.parse_args()
    if args.mutagen_scan:
        mutagen_scan(args.mutagen_scan, args.ext)
        return
    out = Path(args.out)
    if args.from_results:
        result = json.loads(Path(args.from_results).read_text())
        out.mkdir(parents=True, exist_ok=True)
    else:
        result = checked_run(p, args)
    baseline = json.loads(Path(args.baseline).read_text()) if args.baseline else None
    (out / "results.json").write_text(json.dumps(result, indent=1, ensure_ascii=False))
    problem = plot(result, out)
    if problem:
        result["skipped"]["plot"] = problem
        log("no plot:", problem)
    write_report(result, baseline, out)
    log(f"wrote {out / 'RESULTS.md'}")
    print(tools_table(result))


if __name__ == "__main__":
    main()
