"""The library-scan benchmark (bench/run_bench.py) still runs: a tiny corpus, one repeat.

No timing is judged here; the test checks that every tool's row is there and
that what the tools reported about the corpus is right. It runs against a
library folder of its own (--library): the stand-in's DLLs without bassdsd.dll,
which the corpus does not need.
"""
import json
import os
import re
import shutil
import subprocess
import sys

import pytest

from conftest import ARCH, DIST, ROOT, WINE, WINESERVER

FILES = 20
SCRIPT = ROOT / "bench" / "run_bench.py"
FORMATS = ["FLAC", "MP3, ID3v2.3", "MP3, ID3v2.4", "Ogg Vorbis", "WavPack (APEv2)", "WAV"]


def table_after(text, heading):
    """The rows of the first Markdown table after a heading, as lists of cell texts."""
    part = text.split(heading, 1)[1]
    rows = []
    for line in part.splitlines():
        if line.startswith("|"):
            rows.append([c.strip() for c in line.strip().strip("|").split("|")])
        elif rows:
            break
    assert len(rows) > 2, f"no table after {heading!r}"
    return rows[2:]  # past the header and its rule


def number(cell):
    return float(cell.replace(",", "").rstrip("×").split()[0])


@pytest.fixture(scope="module")
def bench_run(tmp_path_factory):
    if ARCH != "x64":
        # Minutes under emulation; the 32-bit leg exercises talhost through every other test.
        pytest.skip("the benchmark's scan runs on the 64-bit leg")
    if subprocess.run([sys.executable, "-c", "import mutagen"], capture_output=True).returncode != 0:
        pytest.skip("python3-mutagen is not installed")
    out = tmp_path_factory.mktemp("bench")
    library = out / "library"
    library.mkdir()
    for dll in DIST.glob("bass*.dll"):
        if dll.name != "bassdsd.dll":
            shutil.copy2(dll, library / dll.name)
    cmd = [sys.executable, str(SCRIPT), "--files", str(FILES), "--repeats", "1", "--max-seconds", "2",
           "--per-format", "4", "--queries", "300", "--init-pairs", "20", "--out", str(out / "report"),
           "--corpus", str(out / "corpus"), "--work", str(out / "work"), "--dist", str(DIST), "--library", str(library),
           "--wine", WINE, "--wineserver", WINESERVER, "--notes", ""]
    if ARCH != "x64":
        cmd += ["--skip", "strace"]  # slow under emulation; the x64 leg counts the I/O
    env = {k: v for k, v in os.environ.items() if k != "TANDREL_STANDIN_BASS"}  # the current generation
    proc = subprocess.run(cmd, capture_output=True, timeout=900, env=env)
    assert proc.returncode == 0, proc.stderr.decode(errors="replace")[-3000:]
    # Each long step says how far it came; into a pipe, a plain line when it ends.
    assert f"bench: mutagen {FILES}/{FILES} files in ".encode() in proc.stderr, proc.stderr.decode(errors="replace")
    report = out / "report"
    return report, (report / "RESULTS.md").read_text(), json.loads((report / "results.json").read_text())


def test_every_tool_has_a_row_and_got_the_corpus_right(bench_run):
    _, text, results = bench_run
    rows = {(r[0], r[1]): r for r in table_after(text, "### Scan speed")}
    talhost = rows[("talhost --json (plug-in, library mode), one process", "all")]
    wav_only = rows[("talhost --json, WAV-only mode (OnlyWav=1)", "WAV part")]
    mutagen = rows[("python3-mutagen, one process", "all")]
    wav_files = results["wav_files"]
    assert 0 < wav_files < FILES
    assert talhost[2] == str(FILES) and wav_only[2] == str(wav_files)
    for row in (talhost, wav_only, mutagen):
        assert number(row[3]) > 0 and number(row[4]) >= number(row[3])  # min and median seconds
        assert number(row[5]) > 0  # files per second
    # The plug-in measured every file and read every tag the corpus was made with.
    assert talhost[8] == f"{FILES}/{FILES}" and talhost[9] == f"{FILES}/{FILES}"
    assert talhost[6] == "1.00×"
    assert wav_only[8] == f"{wav_files}/{wav_files}"
    assert mutagen[8] == f"{FILES}/{FILES}"
    ffprobe = rows[("ffprobe, one process per file", "all")]
    if shutil.which("ffprobe"):
        assert ffprobe[2] == str(FILES) and ffprobe[8] == f"{FILES}/{FILES}"
    else:
        assert "not installed" in ffprobe[-1]
    assert results["tools"]["talhost"]["lengths_ok"] == FILES


def test_report_names_the_library_that_ran(bench_run):
    report, text, _ = bench_run
    library = report.parent / "library"
    line = next(line for line in text.splitlines() if line.startswith("- Media library:"))
    assert line == (f"- Media library: {library}: bass.dll, bassflac.dll, basswv.dll, bass_ape.dll, bass_aac.dll, "
                    f"bassalac.dll, basswma.dll; absent: bassdsd.dll; version 2.4.17.0 (BASS_GetVersion)")
    # The add-on left out of the library folder is not taken from the build's stand-in.
    host = report.parent / "work" / "host-library"
    assert (host / "bassflac.dll").exists() and not (host / "bassdsd.dll").exists()


def test_breakdown_separates_fixed_cost_from_queries(bench_run):
    _, text, results = bench_run
    rows = table_after(text, "### Where a talhost query's time goes")
    assert rows[0][0].startswith("Wine start-up") and number(rows[0][2]) > 0
    # The stand-in's successful Init alone takes 3 ms, as the real library's does.
    pair = next(r for r in rows if r[0].startswith("one BASS_Init/BASS_Free pair"))
    assert "refused with error 6" in pair[0] and number(pair[3]) >= 3.0
    for label in FORMATS:
        assert any(r[0] == f"{label} files only, library mode" for r in rows), label
    bd = results["breakdown"]
    assert [p[0] for p in bd["scaling_points"]][0] == 0 and bd["scaling_points"][-1][0] == FILES


def test_io_per_query_by_format(bench_run):
    _, text, results = bench_run
    if "io" not in results:
        assert "Not counted" in text
        pytest.skip(results["skipped"].get("strace", "strace not run"))
    rows = {r[0]: r for r in table_after(text, "### File I/O per query")}
    assert set(FORMATS) <= set(rows)
    for label in FORMATS:
        r = rows[label]
        files, opens, reads, read_bytes, least = number(r[1]), number(r[2]), number(r[3]), number(r[5]), number(r[6])
        assert files >= 1
        if results["io"]["library"]["server_traced"]:
            assert opens == 1.0, f"{label}: {opens} opens per query"
        assert reads >= 1 and least > 0
        # Headers and tags, not the audio: well under the smallest file of the format.
        assert least <= read_bytes < 200_000, label


def test_plot_is_a_png(bench_run):
    report, _, results = bench_run
    if "plot" in results["skipped"]:
        pytest.skip(results["skipped"]["plot"])
    data = (report / "files_per_second.png").read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and len(data) > 5000
    assert re.search(rb"IHDR", data[:64])
