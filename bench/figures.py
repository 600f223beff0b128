"""The figures of a run, from its timing samples and what each tool reported:
every tool's row, the media library's Init/Free pair, and where a talhost
query's time goes (fixed cost, zero-byte files, slope, per format)."""
import statistics
from pathlib import Path

from agreement import agreement, name_of_winpath
from scan_tools import parse_json_lines


def summarise(samples):
    walls = [s[0] for s in samples]
    return {"min": min(walls), "median": statistics.median(walls), "cpu_min": min(s[1] for s in samples),
            "samples": walls}


def tool_rows(result, c, samples, outputs, competitors, compare):
    """What each tool reported, against what the files were made with."""
    def row(name, count, results, names_from_item, tags_expected=True, name_fallback=False):
        lengths, tags = agreement(results, c.expected, names_from_item, tags_expected, name_fallback)
        r = summarise(samples[name])
        r.update(files=count, reported=len(results), lengths_ok=lengths, tags_ok=tags)
        return r

    tools = result["tools"]
    tools["talhost"] = row("talhost", len(c.files), parse_json_lines(outputs["talhost"]), name_of_winpath)
    if compare:
        tools["talhost compare"] = row("talhost compare", len(c.files), parse_json_lines(outputs["talhost compare"]),
                                       name_of_winpath)
    tools["talhost WAV-only"] = row("talhost WAV-only", len(c.wav_files),
                                    parse_json_lines(outputs["talhost WAV-only"]), name_of_winpath, False)
    for name in competitors:
        count = len(c.wav_files) if "WAV" in name else len(c.files)
        tools[name] = row(name, count, outputs[name], lambda item: Path(item).name, name_fallback=True)


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
