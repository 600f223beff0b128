"""The Debian mirror the 32-bit set-up fetches its emulator from, as apt's source files name it."""
import subprocess
from pathlib import Path

import pytest

SCRIPT = Path(__file__).resolve().parents[2] / "scripts" / "apt-mirror.sh"

DEB822 = """Types: deb
# http://snapshot.debian.org/archive/debian/20250520T000000Z
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main

Types: deb
# http://snapshot.debian.org/archive/debian-security/20250520T000000Z
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
"""
ONE_LINE = """# deb http://commented.example/debian bookworm main
deb-src http://sources.example/debian bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/k.gpg] http://mirror.example/debian/ bookworm main
deb http://security.debian.org/debian-security bookworm-security main
"""
OTHERS_ONLY = "Types: deb\nURIs: https://packages.example.com/apt\nSuites: stable\n"
SWITCHED_OFF = "Types: deb\nURIs: http://off.example/debian\nSuites: bookworm\nEnabled: no\n"


@pytest.mark.parametrize("list_text, parts, expected", [
    (None, {"debian.sources": DEB822}, "http://deb.debian.org/debian"),            # deb822 only, comments above
    (ONE_LINE, {}, "http://mirror.example/debian"),                                 # one-line format only
    (ONE_LINE, {"debian.sources": DEB822}, "http://mirror.example/debian"),        # both: sources.list first
    (None, {"x.sources": SWITCHED_OFF + "\n" + DEB822}, "http://deb.debian.org/debian"),
    (None, {}, None),                                                               # neither file
    (None, {"other.sources": OTHERS_ONLY, "old.list.disabled": ONE_LINE}, None),   # no Debian archive
])
def test_mirror_discovery(tmp_path, list_text, parts, expected):
    sources_list = tmp_path / "sources.list"
    if list_text is not None:
        sources_list.write_text(list_text)
    parts_dir = tmp_path / "sources.list.d"
    parts_dir.mkdir()
    for name, text in parts.items():
        (parts_dir / name).write_text(text)
    proc = subprocess.run(["bash", str(SCRIPT), str(sources_list), str(parts_dir)], capture_output=True, text=True)
    if expected is None:
        assert proc.returncode == 1 and proc.stdout == ""
        assert proc.stderr.startswith("apt-mirror: no ")  # the reason, not silence
    else:
        assert (proc.returncode, proc.stdout.strip()) == (0, expected)
