"""RESULTS.md: how to read it, the machine and library of each run, and the
tables of report_tables for the run, and for a baseline when there is one."""
from agreement import LENGTH_TOLERANCE_MS, LENGTH_TOLERANCE_PERCENT
from media_library import LIBRARY_DLLS
from report_tables import breakdown_table, comparison_table, io_markdown, scan_summary, tools_table

HOW_TO_READ = f"""Made by `bench/run.sh` (bench/run_bench.py). Each tool scans the same corpus of tagged files (FLAC,
MP3 with ID3v2.3 and ID3v2.4, Ogg Vorbis, WavPack with APEv2, WAV with and without an ID3 chunk) for length,
title, artist, album and year. Times are wall-clock seconds for the whole corpus; "min" is the figure to
trust on a shared machine. "lengths right" and "tags right" compare each tool's output with the values
the files were made with: the length within {LENGTH_TOLERANCE_MS} ms or {LENGTH_TOLERANCE_PERCENT} %, and title, artist,
album and year all equal (untagged files: the file name as title; a tool that gives no title is granted
that fallback, talhost must produce it). The WAV-only rows cover only the WAV files, and their ratio is to
talhost's WAV-only mode, which reads no tags: its titles are file names. ffprobe starts a process per
file and may run over a sample with the same number of files of each format (the text under its table
says which); its time per file is what compares. "Per query" figures subtract the fixed cost of starting
talhost with zero items; small item sets are queried in several passes within one process. talhost runs
against the stand-in media library unless the run was given another (`--library`); each results section
names the library that ran. Every figure in the sentences under a table comes from that run's results."""


def library_markdown(res):
    lib = res.get("library")
    if lib is None:
        return "- Media library: the stand-in of the build measured (version and Init/Free pair not recorded in this run)"
    absent = [n for n in LIBRARY_DLLS if n not in lib["dlls"]]
    where = f"the stand-in in {lib['folder']}" if lib["standin"] else lib["folder"]
    if "version" not in lib:
        version = "version not measured (" + res["skipped"].get("init/free", "initcost not run") + ")"
    elif lib["version"] is None:
        version = "version not reported (no BASS_GetVersion export)"
    else:
        version = f"version {lib['version']} (BASS_GetVersion)"
    return (f"- Media library: {where}: {', '.join(lib['dlls'])}"
            f"{'; absent: ' + ', '.join(absent) if absent else ''}; {version}")


def machine_markdown(res):
    m = res["machine"]
    busy = "; ".join(m["busy_processes_start"][:6])
    return "\n".join(([f"- Build measured: {res['label']}"] if res.get("label") else []) + [
        library_markdown(res),
        f"- CPU: {m['cpu']}, {m['cores']} cores; memory {m['memory_gib']} GiB; kernel {m['kernel']}",
        f"- Wine: {m['wine']}, loader {m.get('loader', '?')}, display: {m['display']}; Python {m['python']}",
        f"- Load average at start {', '.join(f'{x:.2f}' for x in m['loadavg_start'])}, at end "
        f"{', '.join(f'{x:.2f}' for x in m.get('loadavg_end', []))}",
        f"- Busiest processes at start (%CPU, nice, command): {busy}",
        f"- Corpus: {res['files']} files ({res['wav_files']} WAV), {res['corpus_bytes'] / 1e6:,.0f} MB, warm page "
        f"cache; {res['repeats']} repeats of every timing, interleaved"
        f"{'' if res.get('talhost_rounds', 1) == 1 else ', talhost runs ' + str(res['talhost_rounds']) + ' times a repeat'}"
        f"; working tree at commit {res['git']['commit']}"
        f"{' (with uncommitted edits to plug-in or library sources)' if res['git']['library_sources_modified'] else ''}",
    ])


def results_section(res, heading):
    return "\n\n".join([
        f"## {heading}",
        machine_markdown(res),
        "### Scan speed\n\n" + tools_table(res) + "".join("\n\n" + line for line in scan_summary(res)),
        "### Where a talhost query's time goes\n\n" + breakdown_table(res),
        "### File I/O per query (strace over talhost and the wineserver)\n\n" + io_markdown(res),
    ])


def write_report(res, baseline, out):
    parts = ["# Library-scan benchmark", HOW_TO_READ]
    heading = "Results" if baseline is None else "Results after the changes"
    parts.append(results_section(res, heading))
    if baseline is not None:
        same = (baseline["files"], baseline["corpus_bytes"]) == (res["files"], res["corpus_bytes"])
        note = "" if same else ("\n\nThe two runs scanned different corpora (files or bytes differ): "
                                "compare per-query figures only.")
        parts.append("## Before and after\n\n" + comparison_table(baseline, res) + note)
        parts.append(results_section(baseline, "Results before the changes (baseline, same script)"))
    (out / "RESULTS.md").write_text("\n\n".join(parts) + "\n")

