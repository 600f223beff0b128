"""The report's tables: scan speed per tool, where a talhost query's time goes,
file I/O per query by format, and figures before and after a change; the
sentences under them, made from the same figures."""
from media_library import FORMAT_LIBRARY_FILE

KIND_LABEL = {"flac": "FLAC", "mp3-id3v23": "MP3, ID3v2.3", "mp3-id3v24": "MP3, ID3v2.4", "ogg": "Ogg Vorbis",
              "wv": "WavPack (APEv2)", "wav": "WAV"}
TOOL_ORDER = ["talhost", "talhost compare", "ffprobe", "mutagen", "talhost WAV-only", "ffprobe WAV part",
              "mutagen WAV part"]
TOOL_LABEL = {
    "talhost": "talhost --json (plug-in, library mode), one process",
    "ffprobe": "ffprobe, one process per file",
    "mutagen": "python3-mutagen, one process",
    "talhost WAV-only": "talhost --json, WAV-only mode (OnlyWav=1)",
    "ffprobe WAV part": "ffprobe, one process per file",
    "mutagen WAV part": "python3-mutagen, one process",
}


def per_file_rate(t):
    return t["files"] / t["min"] if t["min"] > 0 else float("inf")


def tool_label(res, name):
    if name == "talhost compare":
        return f"talhost --json, library mode, {res.get('compare_label') or 'other'} build (same rounds)"
    return TOOL_LABEL[name]


def tools_table(res):
    tools = res["tools"]
    lines = ["| tool | corpus | files | min s | median s | files/s | time per file ÷ talhost's | CPU s (min) "
             "| lengths right | tags right |",
             "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for name in TOOL_ORDER:
        if name not in tools:
            base = name.split()[0]
            if base in res["skipped"] and (name == base or "WAV" in name):
                lines.append(f"| {TOOL_LABEL[name]} | {'WAV part' if 'WAV' in name else 'all'} | — | — | — | — | — "
                             f"| — | — | {res['skipped'][base]} |")
            continue
        t = tools[name]
        ratio = ratio_to_talhost(res, name)
        tags = f"{t['tags_ok']}/{t['files']}" + (" (file-name titles)" if name == "talhost WAV-only" else "")
        lines.append(f"| {tool_label(res, name)} | {'WAV part' if 'WAV' in name else 'all'} | {t['files']} | "
                     f"{t['min']:.3f} | {t['median']:.3f} | {per_file_rate(t):,.0f} | {ratio:.2f}× | "
                     f"{t['cpu_min']:.2f} | {t['lengths_ok']}/{t['files']} | {tags} |")
    return "\n".join(lines)


def library_title(res):
    """The media library that ran, in a few words: stand-in or the --library folder's, and its version."""
    lib = res.get("library")
    if lib is None:
        return "the build's stand-in media library (version not recorded)"
    version = f" {lib['version']}" if lib.get("version") else " (version not measured)"
    return f"the stand-in bass.dll{version}" if lib["standin"] else f"bass.dll{version} from {lib['folder']}"


def ratio_to_talhost(res, name):
    t, ref = res["tools"][name], res["tools"]["talhost WAV-only" if "WAV" in name else "talhost"]
    return (t["min"] / t["files"]) / (ref["min"] / ref["files"])


def ffprobe_sentence(res):
    t = res["tools"].get("ffprobe")
    if t is None:
        return None
    sample = res.get("ffprobe_sample")
    if sample is None or sample["per_format"] is None:
        return f"ffprobe ran over every one of the {t['files']:,} files."
    counts = sorted(set(sample["by_format"].values()))
    each = (f"{counts[0]} of each of the {len(sample['by_format'])} formats" if len(counts) == 1 else
            ", ".join(f"{n} {KIND_LABEL.get(k, k)}" for k, n in sample["by_format"].items()))
    return (f"ffprobe ran over a sample of {sample['files']:,} of the {sample['of']:,} files ({each}, the first of "
            f"each format in corpus order), {res['tools']['ffprobe WAV part']['files']} of them WAV; "
            f"`--ffprobe-all` runs it over every file.")


def failed_formats_sentence(res):
    """Which formats talhost did not get right, and whether the library file that opens them was there."""
    by_format = res["tools"]["talhost"].get("by_format")
    if not by_format:
        return None
    dlls = (res.get("library") or {}).get("dlls")
    parts = []
    for kind, f in by_format.items():
        if f["lengths_ok"] == f["files"] and f["tags_ok"] == f["files"]:
            continue
        need = FORMAT_LIBRARY_FILE.get(kind)
        if need is None or dlls is None:
            why = ""
        elif need not in dlls:
            why = f": {need}, which opens them, was absent from the library folder"
        else:
            why = f" ({need}, which opens them, was there)"
        parts.append(f"{KIND_LABEL.get(kind, kind)}, {f['lengths_ok']} of {f['files']} lengths and {f['tags_ok']} "
                     f"of {f['files']} tags right{why}")
    if not parts:
        return None
    return "talhost's files that were not right, by format: " + "; ".join(parts) + "."


def scan_summary(res):
    """The sentences under the scan table: talhost's speed against the others, which formats it got wrong, and
    what ffprobe ran over."""
    tools = res["tools"]
    t = tools["talhost"]
    others = [f"{name} took {ratio_to_talhost(res, name):.2f}×" for name in ("ffprobe", "mutagen") if name in tools]
    lines = [f"talhost scanned the {t['files']:,} files in {t['min']:.3f} s ({per_file_rate(t):,.0f} files a second)"
             + (f"; per file, {' and '.join(others)} talhost's time." if others else ".")]
    for line in (failed_formats_sentence(res), ffprobe_sentence(res)):
        if line:
            lines.append(line)
    return lines


def init_free_row(res):
    """The Init/Free pair's row of the breakdown and a note setting it against the per-query figures."""
    lib = res.get("library") or {}
    f = lib.get("init_free")
    if f is None:
        if "init/free" in res["skipped"]:
            return (f"| one BASS_Init/BASS_Free pair, as the plug-in makes it around every query | — | — | "
                    f"not measured: {res['skipped']['init/free']} |"), ""
        return None, ""
    how = (f"Init at rate 0 refused with error {f['rate0_error']}, retried at 44100 Hz" if f["rate0_refused"]
           else "Init at rate 0 accepted")
    row = (f"| one BASS_Init/BASS_Free pair, as the plug-in makes it around every query ({how}; initcost.exe, "
           f"timed in-process) | {f['pairs']} pairs × {len(f['samples_ms'])} runs | "
           f"{f['min_ms'] * f['pairs'] / 1000:.3f} s | {f['min_ms']:.3f} ms |")
    bd = res["breakdown"]
    shares = [f"{f['min_ms'] / q * 100:.0f} % of the {what} ({q:.3f} ms)"
              for what, q in (("whole-corpus figure", bd["per_query_ms"]),
                              ("zero-byte library-mode figure", bd["blank library"]["per_query_ms"])) if q > 0]
    note = (f"Every library-mode query above includes one Init/Free pair: its {f['min_ms']:.3f} ms is "
            f"{' and '.join(shares) or 'more than the measured per-query time'}. WAV-only mode makes no pair.")
    if f["initialised"] < f["pairs"]:
        note += (f" Both Init calls failed in {f['pairs'] - f['initialised']} of {f['pairs']} pairs: those cost less "
                 f"than a pair that initialises the library.")
    return row, note


def breakdown_table(res):
    bd = res["breakdown"]
    lines = ["| what | runs of | min | per query |", "|---|---:|---:|---:|",
             f"| Wine start-up, plug-in load and unload, zero items (fixed cost) | 0 items | {bd['fixed']['min']:.3f} s "
             f"| — |"]
    for name, text in (("blank WAV-only", "zero-byte .wav files, WAV-only mode: open, one empty read, close"),
                       ("blank library", "zero-byte .wav files, library mode: BASS_Init, open, size, close, BASS_Free")):
        b = bd[name]
        lines.append(f"| {text} | {b['files']} items × {b.get('passes', 1)} passes | {b['min']:.3f} s | "
                     f"{b['per_query_ms']:.3f} ms |")
    pair_row, pair_note = init_free_row(res)
    if pair_row:
        lines.append(pair_row)
    lines.append(f"| whole corpus, library mode: (time − fixed) ÷ files | {res['files']} items | "
                 f"{res['tools']['talhost']['min']:.3f} s | {bd['per_query_ms']:.3f} ms |")
    pts = ", ".join(f"{n}: {t:.3f} s" for n, t in bd["scaling_points"])
    lines.append(f"| slope of time over item count ({pts}) | — | intercept {bd['intercept_s']:.3f} s | "
                 f"{bd['slope_ms_per_query']:.3f} ms |")
    lines.append(f"| WAV part, WAV-only mode: (time − fixed) ÷ files | {res['wav_files']} items | "
                 f"{res['tools']['talhost WAV-only']['min']:.3f} s | {bd['wav_only_per_query_ms']:.3f} ms |")
    for kind, f in bd["per_format"].items():
        lines.append(f"| {KIND_LABEL.get(kind, kind)} files only, library mode | {f['files']} items × "
                     f"{f.get('passes', 1)} passes | {f['min']:.3f} s | {f['per_query_ms']:.3f} ms |")
    return "\n".join(lines) + ("\n\n" + pair_note if pair_note else "")


def io_markdown(res):
    if "io" not in res:
        return f"Not counted: {res['skipped'].get('strace', 'no strace')}."
    out = []
    for mode, io in res["io"].items():
        out.append(f"{mode} mode, {io['files_traced']} files traced"
                   f"{'' if io['server_traced'] else ' (wineserver not traced: opens not counted)'}:\n")
        out.append("| format | files | opens | read calls | lseek calls | bytes read | minimum bytes | "
                   "4 KiB pages touched | minimum pages |")
        out.append("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
        for kind in KIND_LABEL:
            r = io["by_format"].get(kind)
            if r is None:
                continue
            out.append(f"| {KIND_LABEL[kind]} | {r['files']} | {r['opens']:.2f} | {r['reads']:.1f} | {r['seeks']:.1f} "
                       f"| {r['bytes']:,.0f} | {r['min_bytes']:,.0f} | {r['pages']:.2f} | {r['min_pages']:.2f} |")
        out.append("")
    return "\n".join(out)


def comparison_table(before, after):
    def get(res, *keys):
        v = res
        for k in keys:
            if not isinstance(v, dict) or k not in v:
                return None
            v = v[k]
        return v

    rows = [("talhost, whole corpus, min s, separate runs", ("tools", "talhost", "min"), "{:.3f}"),
            ("talhost files/s, separate runs", None, "{:,.0f}"),
            ("per query, (time − fixed) ÷ files, ms, separate runs", ("breakdown", "per_query_ms"), "{:.3f}"),
            ("per query, slope over item count, ms", ("breakdown", "slope_ms_per_query"), "{:.3f}"),
            ("fixed cost (zero items), s", ("breakdown", "fixed", "min"), "{:.3f}"),
            ("zero-byte files, library mode, ms per query", ("breakdown", "blank library", "per_query_ms"), "{:.3f}"),
            ("BASS_Init/BASS_Free pair, ms", ("library", "init_free", "min_ms"), "{:.3f}"),
            ("talhost WAV-only, WAV part, min s", ("tools", "talhost WAV-only", "min"), "{:.3f}")]
    for kind in KIND_LABEL:
        rows.append((f"{KIND_LABEL[kind]}, ms per query", ("breakdown", "per_format", kind, "per_query_ms"), "{:.3f}"))
    for kind in KIND_LABEL:
        for field, label, fmt in (("reads", "read calls", "{:.1f}"), ("bytes", "bytes read", "{:,.0f}"),
                                  ("pages", "pages touched", "{:.2f}")):
            rows.append((f"{KIND_LABEL[kind]}, {label} per query", ("io", "library", "by_format", kind, field), fmt))
    lines = ["| figure | before | after | after ÷ before |", "|---|---:|---:|---:|"]
    compare = after["tools"].get("talhost compare")
    if compare is not None:
        # Both builds in the same rounds of one run: the like-for-like figures.
        fixed = after["breakdown"]["fixed"]["min"]
        t = after["tools"]["talhost"]
        lines.append(f"| talhost, whole corpus, min s, both builds in the same rounds of the latest run | "
                     f"{compare['min']:.3f} | {t['min']:.3f} | {t['min'] / compare['min']:.2f} |")
        b_q, a_q = ((compare["min"] - fixed) / compare["files"] * 1000, (t["min"] - fixed) / t["files"] * 1000)
        lines.append(f"| per query, (time − fixed) ÷ files, ms, same rounds | {b_q:.3f} | {a_q:.3f} | {a_q / b_q:.2f} |")
    for label, keys, fmt in rows:
        if keys is None:
            b = per_file_rate(before["tools"]["talhost"])
            a = per_file_rate(after["tools"]["talhost"])
        else:
            b, a = get(before, *keys), get(after, *keys)
        if b is None or a is None:
            continue
        ratio = f"{a / b:.2f}" if b else "—"
        lines.append(f"| {label} | {fmt.format(b)} | {fmt.format(a)} | {ratio} |")
    return "\n".join(lines)

