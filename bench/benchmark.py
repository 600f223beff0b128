"""One benchmark run: the corpus, the installed hosts under a warm Wine prefix,
the timed repeats, the figures from them and the I/O count. Returns what
results.json holds."""
import datetime
import os
import shutil
import sys
from pathlib import Path
from types import SimpleNamespace

from corpus import make_corpus
from figures import breakdown, library_figures, tool_rows
from io_count import measure_io
from machine_info import git_state, machine_description
from media_library import install_host, library_files
from mutagen_scan import have_mutagen
from rounds import time_repeats
from scan_plan import corpus_view, plan_competitors, plan_talhost_runs
from scan_tools import warm
from wine_prefix import Wine


def install_hosts(args, work, result):
    """talhost in library mode, in WAV-only mode and (--compare-dist) the other build's, each in a folder of
    its own with the library that runs; initcost beside the first when the build has it."""
    library = Path(args.library or args.dist)
    result["library"] = {"standin": not args.library, "folder": str(library.resolve()),
                         "dlls": list(library_files(library))}
    lib_host = install_host(args.dist, work / "host-library", False, library)
    wav_host = install_host(args.dist, work / "host-wavonly", True, library)
    # With --library both builds run against that library; otherwise each against its own stand-in.
    compare_host = (install_host(args.compare_dist, work / "host-compare", False,
                                 Path(args.library or args.compare_dist)) if args.compare_dist else None)
    result["compare_label"] = args.compare_label if compare_host else None
    init_cost = [str(lib_host / "initcost.exe"), str(args.init_pairs)]
    if not (lib_host / "initcost.exe").exists():
        init_cost = None
        result["skipped"]["init/free"] = f"no initcost.exe in {args.dist}; tests/tools builds it"
    return SimpleNamespace(library=lib_host, wav_only=wav_host, compare=compare_host, init_cost=init_cost)


def measure(args, wine, c, result):
    """Everything timed and counted with the Wine prefix up, into result."""
    work, skip = Path(args.work), set(args.skip)
    hosts = install_hosts(args, work, result)
    plan = plan_talhost_runs(args, c, hosts)
    ffprobe_per_format = None if args.ffprobe_all else args.ffprobe_per_format
    competitors = plan_competitors(c, skip, result["skipped"], ffprobe_per_format)
    samples, outputs, init_runs = time_repeats(args, wine, c, hosts, plan, competitors)
    tool_rows(result, c, samples, outputs, competitors, hosts.compare is not None, ffprobe_per_format)
    if init_runs:
        library_figures(result, init_runs)
    breakdown(result, c, plan, samples)
    # I/O of the same per-format samples, counted under strace.
    if "strace" in skip:
        result["skipped"]["strace"] = "skipped by --skip"
    elif shutil.which("strace") is None:
        result["skipped"]["strace"] = "strace not installed"
    else:
        warm(wine, hosts.library, c.root / "empty")  # a running server to attach to
        result["io"] = measure_io(args, wine, hosts, plan, c, work)


def benchmark(args):
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    if not have_mutagen():
        sys.exit("bench: python3-mutagen is needed to tag the corpus (apt-get install python3-mutagen)")
    corpus = Path(args.corpus)
    manifest = make_corpus(corpus, args.files, args.max_seconds, args.fresh_corpus)
    c = corpus_view(corpus, manifest)

    wine = Wine(args.wineprefix, args.wine, args.wineserver)
    result = {"when": datetime.datetime.now().isoformat(timespec="seconds"), "label": args.label,
              "files": len(c.files), "wav_files": len(c.wav_files), "corpus_bytes": manifest["bytes"],
              "repeats": args.repeats, "talhost_rounds": args.talhost_rounds, "git": git_state(), "tools": {},
              "skipped": {}, "breakdown": {}}
    wine.start()
    try:
        result["machine"] = machine_description(wine)
        result["machine"]["display"] = wine.display_note
        measure(args, wine, c, result)
        result["machine"]["loadavg_end"] = list(os.getloadavg())
    finally:
        wine.stop()
    return result
