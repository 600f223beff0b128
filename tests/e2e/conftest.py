"""End-to-end harness: runs the built programs under Wine, as the player would.

The leg is chosen by the environment (scripts/test.sh sets it):
  TANDREL_DIST    folder with talhost.exe, lumesrc.dll, bass.dll, add-ons, devselect.exe
  TANDREL_WINE    the Wine loader for that build (wine64 for x86_64; for i686 the private root's, scripts/env.sh)
  WINEPREFIX      the project-local prefix of that leg
Run by hand, it defaults to the 64-bit build and prefix under build/.
"""
import http.server
import json
import os
import shutil
import socketserver
import subprocess
import sys
import threading
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "pylib"))  # the shared byte builders and Wine set-up
from wine_setup import make_prefix, start_xvfb, stop_xvfb, wine_env, winpath  # noqa: E402,F401 (winpath: for the tests)
BUILD = Path(os.environ.get("TANDREL_BUILD", ROOT / "build"))
DIST = Path(os.environ.get("TANDREL_DIST", BUILD / "x64" / "dist"))
WINE = os.environ.get("TANDREL_WINE", "/usr/lib/wine/wine64")
ARCH = os.environ.get("TANDREL_ARCH", "x64")
WINESERVER = os.environ.get("TANDREL_WINESERVER", "/usr/lib/wine/wineserver")

os.environ.setdefault("WINEPREFIX", str(BUILD / "wineprefix64"))
wine_env(os.environ)

# What a test copies into its player's folder: the deliverables, the stand-in
# library and the test tools (users install the release instead: build/release).
SHIPPED = ("lumesrc.dll", "bass.dll", "talhost.exe", "devselect.exe", "windriver.exe")


def wine_cmd(exe, *args):
    return [WINE, str(exe), *[str(a) for a in args]]


@pytest.fixture(scope="session", autouse=True)
def wine_session():
    """One display and a warm wineserver for the whole run."""
    xvfb = None if os.environ.get("DISPLAY") else start_xvfb(os.environ, range(150, 200))
    make_prefix(WINE, WINESERVER, os.environ)
    # Keep the wineserver warm between the many short runs of a test session.
    subprocess.run([WINESERVER, "-p60"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    # The first program of a session starts Wine's services, which can take a
    # minute; pay for it here rather than inside the first test's time limits.
    if (DIST / "talhost.exe").exists():
        subprocess.run([WINE, str(DIST / "talhost.exe"), "--help"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
    yield
    stop_xvfb(xvfb)


def install_host(folder, exe_name="talhost.exe", without=()):
    """Copies the programs and the stand-in library into `folder`, the player's folder of a test."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    for item in DIST.iterdir():
        if item.name in without:
            continue
        if item.suffix.lower() == ".dll" or item.name in SHIPPED:
            target = folder / (exe_name if item.name == "talhost.exe" else item.name)
            shutil.copy2(item, target)
    return folder


@pytest.fixture
def host(tmp_path):
    """A fresh player folder with talhost.exe, the plug-in and the stand-in library."""
    return install_host(tmp_path / "player")


@pytest.fixture(params=["current", "older"])
def library_generation(request, monkeypatch):
    """Both generations of the media library, as the stand-in imitates them: the current release
    refuses BASS_Init at rate 0 on device 0 (the plug-in retries at 44100 Hz), older ones accept it."""
    monkeypatch.setenv("TANDREL_STANDIN_BASS", request.param)
    return request.param


def write_ini(folder, sections):
    """Writes Tandrel.ini beside the host: {"Tandrel": {"OnlyWav": 1}, ...}."""
    lines = []
    for section, values in sections.items():
        lines.append(f"[{section}]")
        lines += [f"{k}={v}" for k, v in values.items()]
    (Path(folder) / "Tandrel.ini").write_text("\r\n".join(lines) + "\r\n")


def run_host(folder, *args, exe="talhost.exe", timeout=120, check=True):
    proc = subprocess.run(wine_cmd(Path(folder) / exe, *args), cwd=folder, capture_output=True, timeout=timeout)
    if check and proc.returncode != 0:
        raise AssertionError(f"{exe} {args} exited {proc.returncode}: {proc.stderr.decode(errors='replace')}")
    return proc


def query(folder, *items, exe="talhost.exe", timeout=120):
    """Runs talhost --json on the items; returns one dict per queried item."""
    args = [winpath(i) if isinstance(i, Path) else i for i in items]
    proc = run_host(folder, "--json", *args, exe=exe, timeout=timeout)
    return [json.loads(line) for line in proc.stdout.decode("utf-8").splitlines() if line.strip()]


class RecordingServer:
    """An HTTP server on 127.0.0.1 that serves canned responses and logs every request.

    routes: {"/path": (status, headers_dict, body_bytes)}; a missing path gives 404. A header whose
    value is None is not sent: {"Content-Length": None} ends the body by closing the connection.
    """

    def __init__(self):
        self.routes = {}
        self.requests = []  # (path, headers dict)
        self.bytes_sent = {}
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                outer.requests.append((self.path, dict(self.headers)))
                status, headers, body = outer.routes.get(self.path, (404, {}, b"not found"))
                self.send_response(status)
                for k, v in headers.items():
                    if v is not None:
                        self.send_header(k, v)
                if "Content-Length" not in headers:
                    self.send_header("Content-Length", str(len(body)))
                elif headers["Content-Length"] is None:
                    self.close_connection = True
                self.end_headers()
                sent = 0
                try:
                    for i in range(0, len(body), 16384):
                        self.wfile.write(body[i:i + 16384])
                        sent += len(body[i:i + 16384])
                except (BrokenPipeError, ConnectionResetError):
                    pass
                outer.bytes_sent[self.path] = outer.bytes_sent.get(self.path, 0) + sent

            def log_message(self, *args):
                pass

        class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True
            allow_reuse_address = True

        self.server = Server(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path):
        return f"http://127.0.0.1:{self.port}{path}"

    def close(self):
        self.server.shutdown()
        self.server.server_close()


@pytest.fixture
def http_server():
    server = RecordingServer()
    yield server
    server.close()
