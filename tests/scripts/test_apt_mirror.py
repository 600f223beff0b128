"""The Debian mirror the 32-bit set-up fetches its emulator from, as apt's source files name it."""
import http.server
import os
import subprocess
import threading
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


SETUP_I386 = SCRIPT.parent / "setup-i386.sh"


def run_root_lists(tmp_path, sources_text):
    """setup-i386.sh --lists-only with apt's sources replaced by sources_text."""
    parts = tmp_path / "parts"
    parts.mkdir()
    (parts / "debian.sources").write_text(sources_text)
    conf = tmp_path / "apt.conf"
    conf.write_text(f'Dir::Etc::SourceList "{tmp_path / "none.list"}";\nDir::Etc::SourceParts "{parts}";\n')
    env = dict(os.environ, APT_CONFIG=str(conf), TANDREL_BUILD=str(tmp_path / "build"))
    proc = subprocess.run(["bash", str(SETUP_I386), "--lists-only"], capture_output=True, text=True, env=env, timeout=300)
    return proc, tmp_path / "build" / "i386apt" / "lists"


class RecordingServer(http.server.BaseHTTPRequestHandler):
    """A security archive whose index is mid-sync: every file is cut short."""
    seen = []

    def do_GET(self):
        RecordingServer.seen.append(self.path)
        self.send_response(200)
        self.send_header("Content-Length", "1000")
        self.end_headers()
        self.wfile.write(b"\xfd7zXZ")

    def log_message(self, *args):
        pass


def test_root_lists_read_the_main_archive_alone(tmp_path):
    mirror = subprocess.run(["bash", str(SCRIPT)], capture_output=True, text=True).stdout.strip()
    server = http.server.HTTPServer(("127.0.0.1", 0), RecordingServer)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        security = f"http://127.0.0.1:{server.server_port}/debian-security"
        proc, lists = run_root_lists(tmp_path, f"Types: deb\nURIs: {security}\nSuites: bookworm-security\n"
                                               f"Components: main\n\nTypes: deb\nURIs: {mirror}\n"
                                               "Suites: bookworm bookworm-updates\nComponents: main\n")
    finally:
        server.shutdown()
    assert proc.returncode == 0, proc.stderr
    names = sorted(p.name for p in lists.glob("*Packages*"))
    assert any("_bookworm_main_binary-i386_Packages" in n for n in names), names
    assert any("_bookworm-updates_main_binary-i386_Packages" in n for n in names), names
    assert not [n for n in names if "security" in n or "amd64" in n], names
    assert RecordingServer.seen == []  # the lagging security index is never asked for


def test_root_lists_failure_names_step_and_file(tmp_path):
    proc, _ = run_root_lists(tmp_path, "Types: deb\nURIs: http://127.0.0.1:9/debian\nSuites: bookworm\n")
    lines = proc.stderr.strip().splitlines()
    assert proc.returncode == 3 and len(lines) == 1, proc.stderr
    assert lines[0].startswith("setup-i386: reading the i386 package lists")
    assert "http://127.0.0.1:9/debian/dists/bookworm" in lines[0]
