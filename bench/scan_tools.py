"""The tools the benchmark runs and times: talhost under Wine, ffprobe once per
file, and the mutagen scan in a process of its own."""
import json
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from wine_prefix import winpath

RUN_BENCH = Path(__file__).resolve().with_name("run_bench.py")
# How ffprobe is asked, as shell scripts that scan a library do: duration and
# the four tags (APEv2 names the year "Year"), from the container and (Ogg
# keeps them there) the stream.
FFPROBE_ARGS = ["-v", "error", "-show_entries",
                "format=duration:format_tags=title,artist,album,date,year:stream_tags=title,artist,album,date,year",
                "-of", "json"]


def timed(cmd, **kw):
    """Wall seconds, CPU seconds of the child processes, and the completed process.

    Output goes through temporary files, not pipes: Wine's background
    processes (services, the desktop) may inherit the handles and would hold
    a pipe open long after the program ended.
    """
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        proc = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err, **kw)
        wall = time.perf_counter() - t0
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        out.seek(0)
        err.seek(0)
        proc.stdout, proc.stderr = out.read(), err.read()
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, proc


def parse_json_lines(text):
    return [json.loads(line) for line in text.decode("utf-8").splitlines() if line.strip()]


def ffprobe_one(path):
    proc = subprocess.run(["ffprobe", *FFPROBE_ARGS, str(path)], capture_output=True)
    out = json.loads(proc.stdout or b"{}")
    fmt = out.get("format", {})
    tags = {k.lower(): v for k, v in fmt.get("tags", {}).items()}
    for stream in out.get("streams", []):
        tags.update({k.lower(): v for k, v in stream.get("tags", {}).items() if k.lower() not in tags})
    duration = fmt.get("duration")
    return {"item": str(path), "length_ms": None if duration is None else round(float(duration) * 1000),
            "title": tags.get("title", ""), "artist": tags.get("artist", ""), "album": tags.get("album", ""),
            "year": tags.get("date") or tags.get("year", "")}


def time_ffprobe(files, progress):
    """ffprobe over the files one process each, as a script would; its first run only warms the cache."""
    ffprobe_one(files[0])  # loads its libraries into the cache, untimed
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t0 = time.perf_counter()
    lines = []
    for f in files:
        lines.append(ffprobe_one(f))
        progress.update(len(lines))
    wall = time.perf_counter() - t0
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, lines


def time_mutagen(music, ext):
    """The mutagen scan in a process of its own (run_bench.py --mutagen-scan), over every file or those of EXT."""
    cmd = [sys.executable, str(RUN_BENCH), "--mutagen-scan", str(music)]
    if ext:
        cmd += ["--ext", ext]
    wall, cpu, proc = timed(cmd)
    if proc.returncode != 0:
        raise SystemExit(f"bench: mutagen scan failed: {proc.stderr.decode(errors='replace')}")
    return wall, cpu, parse_json_lines(proc.stdout)


def competitor_files(name, what, c):
    """How many files another tool's run covers: ffprobe's are listed, the mutagen scan takes the corpus or its
    WAV part."""
    if isinstance(what, list):
        return len(what)
    return len(c.wav_files) if "WAV" in name else len(c.files)


def talhost_command(wine, host, *items):
    return [wine.wine, str(host / "talhost.exe"), "--json", *items]


def warm(wine, host, empty):
    """A talhost run over an empty folder, untimed: the wineserver and the page cache are warm for the next."""
    subprocess.run(talhost_command(wine, host, winpath(empty)), env=wine.env, cwd=host,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=600)
