"""What the benchmark times over the corpus: the talhost runs (the whole corpus in
both modes, zero items, zero-byte files, parts of the corpus for the slope, each
format alone, another build) and the other tools over the same files."""
import shutil
from pathlib import Path
from types import SimpleNamespace

from wine_prefix import winpath


def corpus_view(corpus, manifest):
    """The corpus's files as the run uses them: all, the WAV part, by name and by kind."""
    music = corpus / "music"
    files = [music / e["path"] for e in manifest["files"]]
    return SimpleNamespace(
        root=corpus, music=music, files=files, wav_files=[f for f in files if f.suffix == ".wav"],
        expected={Path(e["path"]).name: e for e in manifest["files"]},
        kind_of={str((music / e["path"]).resolve()): e["kind"] for e in manifest["files"]})


def fit(paths, budget=30000):
    """Explicit item lists stay under Windows' 32767-unit command line."""
    chosen, used = [], 0
    for p in paths:
        w = winpath(p)
        if used + len(w) + 3 > budget:
            break
        chosen.append(w)
        used += len(w) + 3
    return chosen


def plan_talhost_runs(args, c, hosts):
    """Each talhost run by name: (host, items, passes), and how many queries it makes."""
    artists = sorted(p for p in c.music.iterdir() if p.is_dir())
    quarter = max(1, len(artists) // 4)
    scale_sets = {"quarter": artists[:quarter], "half": artists[:max(quarter, len(artists) // 2)]}
    per_kind = {}
    for f in c.files:
        per_kind.setdefault(c.kind_of[str(f.resolve())], []).append(f)
    per_kind_items = {k: fit(v[:args.per_format]) for k, v in per_kind.items()}
    blank = sorted((c.root / "blank-wav").iterdir())

    # Small item sets are queried over several passes in one process, so
    # their queries outweigh the fixed cost they are measured against.
    def passes_for(count):
        return max(1, round(args.queries / max(1, count)))

    runs = {
        "talhost": (hosts.library, [winpath(c.music)], 1),
        "talhost WAV-only": (hosts.wav_only, [winpath(c.music)], 1),
        "fixed": (hosts.library, [winpath(c.root / "empty")], 1),
        "blank library": (hosts.library, [winpath(c.root / "blank-wav")], passes_for(len(blank))),
        "blank WAV-only": (hosts.wav_only, [winpath(c.root / "blank-wav")], passes_for(len(blank))),
    }
    queries = {"talhost": len(c.files), "talhost WAV-only": len(c.wav_files), "fixed": 0,
               "blank library": len(blank) * runs["blank library"][2],
               "blank WAV-only": len(blank) * runs["blank WAV-only"][2]}
    if hosts.compare is not None:
        # The other build over the same corpus in the same rounds: a like-for-like comparison on a busy machine.
        runs["talhost compare"] = (hosts.compare, [winpath(c.music)], 1)
        queries["talhost compare"] = len(c.files)
    scale_counts = {}
    for name, subset in scale_sets.items():
        runs["scale " + name] = (hosts.library, [winpath(a) for a in subset], 1)
        scale_counts[name] = sum(1 for f in c.files if f.relative_to(c.music).parts[0] in {a.name for a in subset})
        queries["scale " + name] = scale_counts[name]
    for kind, items in per_kind_items.items():
        runs["format " + kind] = (hosts.library, items, passes_for(len(items)))
        queries["format " + kind] = len(items) * runs["format " + kind][2]
    return SimpleNamespace(runs=runs, queries=queries, scale_counts=scale_counts, per_kind_items=per_kind_items,
                           blank=blank)


def stratified_sample(c, per_format):
    """The first `per_format` files of each format (all of a format that has fewer), in corpus order; None takes
    every file. A format's files cycle through its sources, so a sample of six or more meets each of them."""
    if per_format is None:
        return list(c.files)
    taken = {}
    sample = []
    for f in c.files:
        kind = c.kind_of[str(f.resolve())]
        if taken.get(kind, 0) < per_format:
            taken[kind] = taken.get(kind, 0) + 1
            sample.append(f)
    return sample


def plan_competitors(c, skip, skipped, ffprobe_per_format):
    """The other tools by name: ffprobe with its files (a stratified sample unless `ffprobe_per_format` is None),
    the mutagen scan with the extension it keeps (None: all). Those not run say why in `skipped`."""
    competitors = {}
    if "ffprobe" in skip:
        skipped["ffprobe"] = "skipped by --skip"
    elif shutil.which("ffprobe") is None:
        skipped["ffprobe"] = "ffprobe not installed (Debian package ffmpeg)"
    else:
        sample = stratified_sample(c, ffprobe_per_format)
        competitors["ffprobe"] = sample
        competitors["ffprobe WAV part"] = [f for f in sample if f.suffix == ".wav"]
    if "mutagen" in skip:
        skipped["mutagen"] = "skipped by --skip"
    else:
        competitors["mutagen"] = None
        competitors["mutagen WAV part"] = ".wav"
    return competitors
