"""The mutagen scan the benchmark times: one process over the whole folder, as a
tagging script would do it. run_bench.py --mutagen-scan runs it."""
import json
import os
import subprocess
import sys

from bench_common import AUDIO_EXTS


def tag_text(tags, *keys):
    """The first value of the first key present: ID3 frames, Vorbis comments and APE items alike."""
    if tags is None:
        return ""
    for key in keys:
        try:
            value = tags[key]
        except (KeyError, ValueError, TypeError):
            continue
        if hasattr(value, "text"):
            value = value.text
        if isinstance(value, (list, tuple)):
            value = value[0] if value else ""
        return str(value)
    return ""


def mutagen_scan(folder, ext):
    """One process over the whole folder, as a tagging script would do it; JSON lines like talhost's."""
    import mutagen
    for dirpath, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            low = name.lower()
            if not low.endswith(AUDIO_EXTS) or (ext and not low.endswith(ext)):
                continue
            path = os.path.join(dirpath, name)
            try:
                f = mutagen.File(path)
            except Exception:  # a file mutagen cannot read is reported, not fatal
                f = None
            length = f.info.length if f is not None and getattr(f, "info", None) is not None else None
            tags = f.tags if f is not None else None
            print(json.dumps({
                "item": path, "length_ms": None if length is None else round(length * 1000),
                "title": tag_text(tags, "TIT2", "title", "Title"),
                "artist": tag_text(tags, "TPE1", "artist", "Artist"),
                "album": tag_text(tags, "TALB", "album", "Album"),
                "year": tag_text(tags, "TDRC", "TYER", "date", "Year"),
            }, ensure_ascii=False))


def have_mutagen():
    return subprocess.run([sys.executable, "-c", "import mutagen"], capture_output=True).returncode == 0

