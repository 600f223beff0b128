"""The figures of a run, from its timing samples and what each tool reported:
every tool's row, the media library's Init/Free pair, and where a talhost
query's time goes (fixed cost, zero-byte files, slope, per format)."""
import statistics
from pathlib import Path

from agreement import agreement, name_of_winpath
from scan_tools import competitor_files, parse_json_lines


def summarise(samples):
    walls = [s[0] for s in samples]
    return {"min": min(walls), "median": statistics.median(walls), "cpu_min": min(s[1] for s in samples),
            "samples": walls}


def tool_rows(result, c, samples, outputs, competitors, compare, ffprobe_per_format):
    """What each tool reported, against what the files were made with."""
    def row(name, count, results, names_from_item, tags_expected=True, name_fallback=False):
        lengths, tags = agreement(results, c.expected, names_from_item, tags_expected, name_fallback)
        r = summarise(samples[name])
        r.update(files=count, reported=len(results), lengths_ok=lengths, tags_ok=tags)
        return r

    tools = result["tools"]
    talhost_lines = parse_json_lines(outputs["talhost"])
    tools["talhost"] = row("talhost", len(c.files), talhost_lines, name_of_winpath)
    tools["talhost"]["by_format"] = agreement_by_format(c, talhost_lines, name_of_winpath)
    if compare:
        tools["talhost compare"] = row("talhost compare", len(c.files), parse_json_lines(outputs["talhost compare"]),
                                       name_of_winpath)
    tools["talhost WAV-only"] = row("talhost WAV-only", len(c.wav_files),
                                    parse_json_lines(outputs["talhost WAV-only"]), name_of_winpath, False)
    for name, what in competitors.items():
        tools[name] = row(name, competitor_files(name, what, c), outputs[name], lambda item: Path(item).name,
                          name_fallback=True)
    if "ffprobe" in competitors:
        sample = competitors["ffprobe"]
        result["ffprobe_sample"] = {
            "per_format": ffprobe_per_format, "files": len(sample), "of": len(c.files),
            "by_format": {k: sum(1 for f in sample if c.kind_of[str(f.resolve())] == k)
                          for k in sorted(set(c.kind_of.values()))}}


def agreement_by_format(c, lines, names_from_item):
    """Of each format's files, how many a tool's lines got right."""
    by_format = {}
    for kind in sorted(set(c.kind_of.values())):
        names = {n for n, e in c.expected.items() if e["kind"] == kind}
        lengths, tags = agreement([r for r in lines if names_from_item(r["item"]) in names], c.expected,
                                  names_from_item)
        by_format[kind] = {"files": len(names), "lengths_ok": lengths, "tags_ok": tags}
    return by_format


def library_figures(result, init_runs):
    """The library's version and the cost of one Init/Free pair, from the initcost runs."""
    last = init_runs[-1]
    ms = [r["ms_per_pair"] for r in init_runs]
    result["library"].update(version=last["version"], version_word=last["version_word"])
    result["library"]["init_free"] = {
        "pairs": last["pairs"], "min_ms": min(ms), "median_ms": statistics.median(ms), "samples_ms": ms,
        "initialised": min(r["initialised"] for r in init_runs), "rate0_refused": last["rate0_refused"],
        "rate0_error": last["rate0_error"], "loaded": last["library"]}


def breakdown(result, c, plan, samples):
    """Where a talhost query's time goes: the fixed cost of a run, per-query figures and the slope over item count."""
    tools = result["tools"]
    fixed = summarise(samples["fixed"])
    bd = result["breakdown"]
    bd["fixed"] = fixed
    blank = plan.blank
    for name in ("blank library", "blank WAV-only"):
        passes = plan.runs[name][2]
        bd[name] = dict(summarise(samples[name]), files=len(blank), passes=passes,
                        per_query_ms=(summarise(samples[name])["min"] - fixed["min"]) / (len(blank) * passes) * 1000)
    points = [(0, fixed["min"])]
    for name, count in plan.scale_counts.items():
        points.append((count, summarise(samples["scale " + name])["min"]))
    points.append((len(c.files), tools["talhost"]["min"]))
    mean_x = sum(p[0] for p in points) / len(points)
    mean_y = sum(p[1] for p in points) / len(points)
    slope = sum((x - mean_x) * (y - mean_y) for x, y in points) / sum((x - mean_x) ** 2 for x, _ in points)
    bd["scaling_points"] = points
    bd["slope_ms_per_query"] = slope * 1000
    bd["intercept_s"] = mean_y - slope * mean_x
    bd["per_query_ms"] = (tools["talhost"]["min"] - fixed["min"]) / len(c.files) * 1000
    bd["wav_only_per_query_ms"] = (tools["talhost WAV-only"]["min"] - fixed["min"]) / max(1, len(c.wav_files)) * 1000
    bd["per_format"] = {}
    for kind, items in plan.per_kind_items.items():
        s = summarise(samples["format " + kind])
        passes = plan.runs["format " + kind][2]
        bd["per_format"][kind] = {"files": len(items), "passes": passes, "min": s["min"],
                                  "per_query_ms": (s["min"] - fixed["min"]) / (len(items) * passes) * 1000}
