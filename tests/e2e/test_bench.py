"""The library-scan benchmark (bench/run_bench.py) still runs: a tiny corpus, one repeat.

No timing is judged here; the test checks that every tool's row is there and
that what the tools reported about the corpus is right. It runs against a
library folder of its own (--library): the stand-in's DLLs without bassdsd.dll,
which the corpus does not need. It leaves --out to its default, under the build
tree (here one of its own), so that it sees the checkout's bench/ left as it was.
"""
import json
import os
import re
import shutil
import struct
import subprocess
import sys

import pytest

from conftest import ARCH, DIST, ROOT, WINE, WINESERVER

FILES = 20
SCRIPT = ROOT / "bench" / "run_bench.py"
FORMATS = ["FLAC", "MP3, ID3v2.3", "MP3, ID3v2.4", "Ogg Vorbis", "WavPack (APEv2)", "WAV"]
FFPROBE_PER_FORMAT = 2


def bench_folder_state():
    """The checkout's bench/ files with their sizes and times, compiled Python aside."""
    return {(f.name, f.stat().st_size, f.stat().st_mtime_ns) for f in (ROOT / "bench").iterdir()
            if f.name != "__pycache__"}


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


def png_texts(data):
    """The keyword and text of each tEXt chunk of a PNG file."""
    texts, pos = {}, 8
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"tEXt":
            keyword, _, text = data[pos + 8:pos + 8 + length].partition(b"\0")
            texts[keyword.decode("latin-1")] = text.decode("latin-1")
        pos += 12 + length
    return texts


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
           "--per-format", "4", "--queries", "300", "--init-pairs", "20", "--ffprobe-per-format",
           str(FFPROBE_PER_FORMAT), "--corpus", str(out / "corpus"), "--work", str(out / "work"), "--dist", str(DIST),
           "--library", str(library), "--wine", WINE, "--wineserver", WINESERVER]
    if ARCH != "x64":
        cmd += ["--skip", "strace"]  # slow under emulation; the x64 leg counts the I/O
    env = {k: v for k, v in os.environ.items() if k != "TANDREL_STANDIN_BASS"}  # the current generation
    env["TANDREL_BUILD"] = str(out / "build")
    before = bench_folder_state()
    proc = subprocess.run(cmd, capture_output=True, timeout=900, env=env)
    assert proc.returncode == 0, proc.stderr.decode(errors="replace")[-3000:]
    assert bench_folder_state() == before, "the run wrote into the checkout's bench/"
    # Each long step says how far it came; into a pipe, a plain line when it ends.
    assert f"bench: mutagen {FILES}/{FILES} files in ".encode() in proc.stderr, proc.stderr.decode(errors="replace")
    report = out / "build" / "bench-results"
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
        # A sample of the same number of files of each format, every one of them right.
        sample = FFPROBE_PER_FORMAT * len(FORMATS)
        assert ffprobe[2] == str(sample) and ffprobe[8] == f"{sample}/{sample}" and ffprobe[9] == f"{sample}/{sample}"
        assert (f"ffprobe ran over a sample of {sample} of the {FILES} files ({FFPROBE_PER_FORMAT} of each of the "
                f"{len(FORMATS)} formats") in text
    else:
        assert "not installed" in ffprobe[-1]
    assert results["tools"]["talhost"]["lengths_ok"] == FILES
    by_format = results["tools"]["talhost"]["by_format"]
    assert sum(f["files"] for f in by_format.values()) == FILES
    assert all(f["lengths_ok"] == f["tags_ok"] == f["files"] for f in by_format.values())
    assert "not right" not in text


def test_text_figures_come_from_the_results(bench_run):
    _, text, results = bench_run
    t = results["tools"]["talhost"]
    mutagen = results["tools"]["mutagen"]
    ratio = (mutagen["min"] / mutagen["files"]) / (t["min"] / t["files"])
    assert f"talhost scanned the {FILES} files in {t['min']:.3f} s ({t['files'] / t['min']:,.0f} files a second); " in text
    assert f"mutagen took {ratio:.2f}× talhost's time." in text


def test_formats_whose_add_on_was_absent_are_named(bench_run, tmp_path):
    # The stored results as a run without basswv.dll would give them: the report says which files were not
    # right and why. Written again from the results, running nothing.
    report, _, results = bench_run
    results["library"]["dlls"].remove("basswv.dll")
    wv = results["tools"]["talhost"]["by_format"]["wv"]
    wv["lengths_ok"] = wv["tags_ok"] = 0
    stored = tmp_path / "results.json"
    stored.write_text(json.dumps(results))
    proc = subprocess.run([sys.executable, str(SCRIPT), "--from-results", str(stored), "--out", str(tmp_path)],
                          capture_output=True, timeout=120)
    assert proc.returncode == 0, proc.stderr.decode(errors="replace")[-3000:]
    text = (tmp_path / "RESULTS.md").read_text()
    assert (f"talhost's files that were not right, by format: WavPack (APEv2), 0 of {wv['files']} lengths and 0 of "
            f"{wv['files']} tags right: basswv.dll, which opens them, was absent from the library folder.") in text


def test_report_names_the_library_that_ran(bench_run):
    report, text, _ = bench_run
    library = report.parent.parent / "library"
    line = next(line for line in text.splitlines() if line.startswith("- Media library:"))
    assert line == (f"- Media library: {library}: bass.dll, bassflac.dll, basswv.dll, bass_ape.dll, bass_aac.dll, "
                    f"bassalac.dll, basswma.dll; absent: bassdsd.dll; version 2.4.17.0 (BASS_GetVersion)")
    # The add-on left out of the library folder is not taken from the build's stand-in.
    host = report.parent.parent / "work" / "host-library"
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
    # Its title, kept in the file's text chunks too, names the library that ran and its version.
    library = report.parent.parent / "library"
    assert png_texts(data)["Title"].startswith(f"Library scan with bass.dll 2.4.17.0 from {library}, ")
