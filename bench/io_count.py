"""File I/O per query, counted under strace: talhost and the wineserver (which
does the opens) traced over the per-format samples, their logs read back per
corpus file and set beside the least a query needs."""
import re
import shutil
import signal
import subprocess
import time
from pathlib import Path

from bench_common import AUDIO_EXTS, PAGE
from least_read import minimal_ranges, pages_of
from progress import Progress
from scan_tools import talhost_command
from wine_prefix import winpath

LINE = re.compile(r"^(?P<call>\w+)\((?P<args>.*)\)\s+=\s+(?P<ret>-?\d+)(?:<(?P<retpath>[^>]*)>)?")
FD_ARG = re.compile(r"^(\d+)<([^>]*)>(.*)$")


def count_io(trace_dir, corpus_root):
    """Per corpus file: opens, read calls, bytes read, lseeks and the 4 KiB pages touched, from strace -ff logs."""
    stats = {}
    root = str(Path(corpus_root).resolve())

    def entry(path):
        return stats.setdefault(path, {"opens": 0, "reads": 0, "bytes": 0, "seeks": 0, "pages": set()})

    for log_file in sorted(Path(trace_dir).iterdir()):
        position = {}
        for line in log_file.read_text(errors="replace").splitlines():
            m = LINE.match(line)
            if not m:
                continue
            call, args, ret = m.group("call"), m.group("args"), int(m.group("ret"))
            if call == "openat":
                path = m.group("retpath")
                if ret >= 0 and path and path.startswith(root) and path.lower().endswith(AUDIO_EXTS):
                    entry(path)["opens"] += 1
                    position[ret] = 0
                continue
            fd = FD_ARG.match(args)
            if not fd or not fd.group(2).startswith(root) or not fd.group(2).lower().endswith(AUDIO_EXTS):
                continue
            number, path, rest = int(fd.group(1)), fd.group(2), fd.group(3)
            e = entry(path)
            if call in ("read", "pread64"):
                e["reads"] += 1
                if ret > 0:
                    e["bytes"] += ret
                    if call == "pread64":
                        offset = int(rest.rsplit(",", 1)[1])
                    else:
                        offset = position.get(number, 0)
                        position[number] = offset + ret
                    e["pages"].update(range(offset // PAGE, (offset + ret - 1) // PAGE + 1))
            elif call == "lseek":
                e["seeks"] += 1
                if ret >= 0:
                    position[number] = ret
    return stats


def io_table(stats, by_path_kind, minimal):
    """Per format, per query: the measured counts beside the minimum."""
    rows = {}
    for path, e in stats.items():
        kind = by_path_kind.get(path)
        if kind is None:
            continue
        r = rows.setdefault(kind, {"files": 0, "opens": 0, "reads": 0, "bytes": 0, "seeks": 0, "pages": 0,
                                   "min_bytes": 0, "min_pages": 0})
        r["files"] += 1
        for k in ("opens", "reads", "bytes", "seeks"):
            r[k] += e[k]
        r["pages"] += len(e["pages"])
        r["min_bytes"] += minimal[path][0]
        r["min_pages"] += minimal[path][1]
    for r in rows.values():
        for k in ("opens", "reads", "bytes", "seeks", "pages", "min_bytes", "min_pages"):
            r[k] = r[k] / r["files"]
    return rows


def trace_talhost(wine, host, items, trace_dir, server):
    """strace -ff over one talhost run into trace_dir/client.*, and over the running wineserver into server.*."""
    calls = ["-ff", "-y", "-qq", "-e", "trace=openat,read,pread64,lseek"]
    watcher = None
    if server is not None:
        # A second strace on the running server, detached (SIGINT) once talhost has ended.
        watcher = subprocess.Popen(["strace", *calls, "-o", str(trace_dir / "server"), "-p", str(server)],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
    try:
        subprocess.run(["strace", *calls, "-o", str(trace_dir / "client"), *talhost_command(wine, host, *items)],
                       env=wine.env, cwd=host, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
    finally:
        if watcher is not None:
            watcher.send_signal(signal.SIGINT)
            watcher.wait(timeout=30)


def measure_io(args, wine, hosts, plan, c, work):
    """strace -ff over talhost and over the wineserver, which does the opens, for the per-format samples."""
    server = wine.server_pid()
    io = {}
    modes = (("library", hosts.library, [w for v in plan.per_kind_items.values() for w in v]),
             ("WAV-only", hosts.wav_only, [winpath(f) for f in c.wav_files[:args.per_format]]))
    progress = Progress("strace talhost", sum(len(items) for _, _, items in modes))
    done = 0
    for mode, host, items in modes:
        trace_dir = work / f"trace-{mode}"
        shutil.rmtree(trace_dir, ignore_errors=True)
        trace_dir.mkdir(parents=True)
        trace_talhost(wine, host, items, trace_dir, server)
        stats = count_io(trace_dir, c.music)
        minimal = {}
        for path in stats:
            ranges = minimal_ranges(path, tags=mode == "library")
            minimal[path] = (sum(n for _, n in ranges), len(pages_of(ranges)))
        table = io_table(stats, c.kind_of, minimal)
        # The wineserver does the opens; a server started under the traced talhost is traced too.
        opens = any(e["opens"] > 0 for e in stats.values())
        io[mode] = {"files_traced": len(stats), "by_format": table, "server_traced": server is not None or opens}
        shutil.rmtree(trace_dir, ignore_errors=True)
        done += len(items)
        progress.update(done)
    progress.finish()
    return io
