"""Shared by the benchmark's modules: where the project and its build are, the
audio extensions of the corpus, the page size I/O is counted in, log lines on
stderr and running a command for its output."""
import os
import subprocess
import sys
from pathlib import Path

import progress

ROOT = Path(__file__).resolve().parents[1]
BUILD = Path(os.environ.get("TANDREL_BUILD", ROOT / "build"))
AUDIO_EXTS = (".flac", ".mp3", ".ogg", ".wv", ".wav")
PAGE = 4096


def log(*parts):
    progress.end_line()
    print("bench:", *parts, file=sys.stderr, flush=True)


def run(*args, **kw):
    return subprocess.run([str(a) for a in args], check=True, capture_output=True, **kw).stdout.decode().strip()
