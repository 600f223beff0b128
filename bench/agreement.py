"""Checks of what each tool reported against what the corpus's files were made with."""
from pathlib import Path

# A length is right within this many milliseconds, or this percentage of the length when that is more.
LENGTH_TOLERANCE_MS = 100
LENGTH_TOLERANCE_PERCENT = 1


def agreement(results, expected_by_name, names_from_item, tags_expected=True, name_fallback=False):
    """How many items got the length (within the tolerances above) and the tags the files were made with.

    Without tags the title to show is the file name without its extension; a
    tool that gives no title gets that fallback when name_fallback is set (a
    script would do the same), talhost must produce it itself.
    """
    lengths = tags = 0
    for r in results:
        e = expected_by_name.get(names_from_item(r["item"]))
        if e is None:
            continue
        ms = r.get("length_ms")
        if ms is not None and abs(ms - e["ms"]) <= max(LENGTH_TOLERANCE_MS, e["ms"] * LENGTH_TOLERANCE_PERCENT / 100):
            lengths += 1
        stem = Path(e["path"]).stem
        title = r.get("title") or (stem if name_fallback else "")
        if tags_expected:
            want = (e["title"] or stem, e["artist"], e["album"], e["year"])
            got = (title, r.get("artist") or "", r.get("album") or "", r.get("year") or "")
        else:
            want, got = stem, title
        if got == want:
            tags += 1
    return lengths, tags


def name_of_winpath(item):
    return item.replace("\\", "/").rsplit("/", 1)[-1]

