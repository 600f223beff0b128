"""WAV-only mode through the host: length and title from RIFF/WAVE headers, locally and over HTTP."""
import socket
import subprocess
import threading

import pytest

from audio_bytes import chunk, data_header, fmt, wave
from conftest import query, write_ini

AGENT = "Lavf/55.37.101"


@pytest.fixture
def wav_host(host):
    write_ini(host, {"Tandrel": {"OnlyWav": 1}})
    return host


def sox(path, rate, channels, bits, seconds, *encoding):
    subprocess.run(["sox", "-n", "-r", str(rate), "-c", str(channels), "-b", str(bits), *encoding, str(path),
                    "synth", str(seconds), "sine", "440"], check=True, capture_output=True)
    return path


def data(size):
    """A data chunk with its samples: a size past the end of the file counts only what is there."""
    return chunk(b"data", bytes(size))


# ---- local files ---------------------------------------------------------------

SOX_FILES = [  # name, rate, channels, bits, seconds, encoding
    ("Track 01.wav", 44100, 2, 16, 10, ()),
    ("mono 8.wav", 22050, 1, 8, 2.5, ()),
    ("hires.wav", 48000, 2, 24, 3, ()),
    ("float.wav", 96000, 2, 32, 1.5, ("-e", "floating-point")),  # tag 3, 18-byte fmt, fact chunk
    ("surround.wav", 48000, 6, 24, 2, ()),                       # extensible, PCM sub-format
]


def test_sox_files_give_length_and_title(wav_host, tmp_path):
    paths = [sox(tmp_path / name, rate, ch, bits, sec, *enc) for name, rate, ch, bits, sec, enc in SOX_FILES]
    results = query(wav_host, *paths)
    assert [r["length_ms"] for r in results] == [int(f[4] * 1000) for f in SOX_FILES]
    assert [r["title"] for r in results] == [f[0][:-4] for f in SOX_FILES]
    assert not any(r["block"] for r in results)


def test_crafted_headers(wav_host, tmp_path):
    cases = {
        "canonical.wav": (wave(fmt(), data(1764000)), 10000),
        "list first.wav": (wave(chunk(b"LIST", 26), fmt(), data(176400)), 1000),
        "nine skips.wav": (wave(*[chunk(b"LIST", 4)] * 4, fmt(), *[chunk(b"junk", 3)] * 5, data(176400)), 1000),
        "no riff.wav": (wave(fmt(), data(176400), form=b"JUNK"), 1000),
        "tiny.wav": (wave(fmt(1, 1, 1000, 8), data_header(10), b"\x80" * 10), 10),
        # A data size past the end of the file (as a writer streaming to a pipe leaves it) counts what is there.
        "streamed.wav": (wave(fmt(), data_header(0xFFFFFFFF), bytes(264600)), 1500),
    }
    for name, (content, _) in cases.items():
        (tmp_path / name).write_bytes(content)
    results = query(wav_host, *[tmp_path / name for name in cases])
    for r, (name, (_, length)) in zip(results, cases.items()):
        assert r["length_ms"] == length, name
        assert r["title"] == name[:-4], name


def test_failed_headers_leave_length_and_title_alone(wav_host, tmp_path):
    good = wave(fmt(), data_header(176400))
    cases = {
        "sixth.wav": wave(*[chunk(b"LIST", 4)] * 5, fmt(), data_header(176400)),
        "ten skips.wav": wave(*[chunk(b"LIST", 4)] * 4, fmt(), *[chunk(b"junk", 3)] * 6, data_header(176400)),
        "adpcm.wav": wave(fmt(2), data_header(176400)),
        "zero rate.wav": wave(fmt(rate=0), data_header(176400)),
        "no data.wav": wave(fmt()),
        "truncated.wav": good[:42],
    }
    for name, content in cases.items():
        (tmp_path / name).write_bytes(content)
    results = query(wav_host, *[tmp_path / name for name in cases])
    assert len(results) == len(cases)
    for r, name in zip(results, cases):
        assert r["length_ms"] is None, name
        assert r["title"] is None, name


def test_missing_file_gets_a_title_only(wav_host, tmp_path):
    [r] = query(wav_host, tmp_path / "not here.wav")
    assert r["length_ms"] is None
    assert r["title"] == "not here"


# ---- HTTP ------------------------------------------------------------------------

class PausingServer:
    """Serves one body on 127.0.0.1: sends `first` bytes, then holds the rest back
    until the client goes away or `hold` seconds pass. Logs requests and bytes sent."""

    def __init__(self, body, first, hold=30.0):
        self.body, self.first, self.hold = body, first, hold
        self.requests = []
        self.sent = 0
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def url(self, path="/big.wav"):
        return f"http://127.0.0.1:{self.port}{path}"

    def _serve(self):
        self.listener.settimeout(300)
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            with conn:
                request = b""
                while b"\r\n\r\n" not in request:
                    part = conn.recv(4096)
                    if not part:
                        break
                    request += part
                self.requests.append(request.decode("latin-1"))
                head = f"HTTP/1.1 200 OK\r\nContent-Length: {len(self.body)}\r\nContent-Type: audio/wav\r\n\r\n"
                try:
                    conn.sendall(head.encode() + self.body[:self.first])
                    self.sent += self.first
                    conn.settimeout(self.hold)
                    if conn.recv(1) == b"":  # the client closed: it wanted no more
                        continue
                except (OSError, socket.timeout):
                    pass
                try:
                    conn.sendall(self.body[self.first:])
                    self.sent += len(self.body) - self.first
                except OSError:
                    pass

    def close(self):
        self.listener.close()


def test_request_carries_the_agent_and_gives_no_title(wav_host, http_server):
    http_server.routes["/a.wav"] = (200, {"Content-Type": "audio/wav"}, wave(fmt(), data(1764000)))
    [r] = query(wav_host, http_server.url("/a.wav"))
    assert r["length_ms"] == 10000
    assert r["title"] is None
    assert len(http_server.requests) == 1
    path, headers = http_server.requests[0]
    assert path == "/a.wav"
    assert headers.get("User-Agent") == AGENT


def test_large_wav_is_measured_from_its_first_64k(wav_host, tmp_path):
    body = sox(tmp_path / "big.wav", 44100, 2, 16, 10).read_bytes()
    assert len(body) > 1_000_000
    server = PausingServer(body, 65536, hold=120)
    try:
        [r] = query(wav_host, server.url(), timeout=300)
    finally:
        server.close()
    assert r["length_ms"] == 10000
    assert r["title"] is None
    assert len(server.requests) == 1
    assert f"User-Agent: {AGENT}\r\n" in server.requests[0]
    # Asking for one byte more than the first 65,536 would have waited out the hold,
    # and the rest would have been sent; the client closed instead.
    assert server.sent == 65536


def test_short_response_never_reuses_an_earlier_header(wav_host, http_server):
    stereo = wave(fmt(), data(1764000))
    mono = wave(fmt(channels=1), data_header(1764000))
    http_server.routes["/first.wav"] = (200, {}, stereo + bytes(1000))
    # Only the start of a header: what follows it in the buffer is the first file's.
    http_server.routes["/short.wav"] = (200, {}, mono[:30])
    first, short = query(wav_host, http_server.url("/first.wav"), http_server.url("/short.wav"))
    assert first["length_ms"] == 10000
    assert short["length_ms"] is None
    assert short["title"] is None


def test_error_status_body_is_walked_like_any_other(wav_host, http_server):
    http_server.routes["/gone.wav"] = (404, {}, wave(fmt(), data(352800)))
    http_server.routes["/html"] = (500, {"Content-Type": "text/html"}, b"<html>server error</html>")
    gone, html, missing = query(wav_host, http_server.url("/gone.wav"), http_server.url("/html"),
                                http_server.url("/nothing"))
    assert gone["length_ms"] == 2000
    assert html["length_ms"] is None
    assert missing["length_ms"] is None
    assert all(r["title"] is None for r in (gone, html, missing))


def test_no_length_that_cannot_be_true(wav_host, http_server):
    streamed = wave(fmt(), data_header(0xFFFFFFFF), bytes(264600))
    http_server.routes["/streamed.wav"] = (200, {}, streamed)  # its Content-Length bounds the data
    # Without a Content-Length the declared size stands; a length past 2^31 - 1 ms is none at all.
    http_server.routes["/one-hz.wav"] = (200, {"Content-Length": None}, wave(fmt(1, 1, 1, 8), data_header(0xFFFFFFFF)))
    http_server.routes["/2-31.wav"] = (200, {"Content-Length": None}, wave(fmt(1, 1, 1000, 8), data_header(0x80000000)))
    http_server.routes["/longest.wav"] = (200, {"Content-Length": None},
                                          wave(fmt(1, 1, 1000, 8), data_header(0x7FFFFFFF)))
    rows = query(wav_host, *[http_server.url(p) for p in ("/streamed.wav", "/one-hz.wav", "/2-31.wav", "/longest.wav")])
    assert [r["length_ms"] for r in rows] == [1500, None, None, 0x7FFFFFFF]


def test_chunks_before_fmt_stay_in_the_first_1000_bytes(wav_host, http_server, tmp_path):
    at_limit = wave(chunk(b"LIST", 980), fmt(), data(176400))   # "fmt " at offset 1000
    past = wave(chunk(b"LIST", 981), fmt(), data(176400))       # at 1001
    two = wave(chunk(b"LIST", 500), chunk(b"JUNK", 500), fmt(), data_header(176400))
    http_server.routes["/at.wav"] = (200, {}, at_limit)
    http_server.routes["/past.wav"] = (200, {}, past)
    http_server.routes["/two.wav"] = (200, {}, two)
    (tmp_path / "past.wav").write_bytes(past)
    at, over, second, local = query(wav_host, http_server.url("/at.wav"), http_server.url("/past.wav"),
                                    http_server.url("/two.wav"), tmp_path / "past.wav")
    assert at["length_ms"] == 1000
    assert over["length_ms"] is None
    assert second["length_ms"] is None
    assert local["length_ms"] == 1000  # a local file has no such bound
    assert local["title"] == "past"


def test_scheme_is_tested_by_its_first_two_letters(wav_host, http_server):
    http_server.routes["/x.wav"] = (200, {}, wave(fmt(), data_header(176400)))
    upper_url = http_server.url("/x.wav").replace("http://", "HTTP://")
    upper, secure = query(wav_host, upper_url, http_server.url("/x.wav").replace("http://", "https://"))
    # Upper case is a local path: it does not open, and keeps a title.
    assert upper["length_ms"] is None
    assert upper["title"] == upper_url[:-4]
    # "https" takes the HTTP way: no title, and a TLS handshake to a plain server fails.
    assert secure["length_ms"] is None
    assert secure["title"] is None
    assert not any(path == "/x.wav" for path, _ in http_server.requests)
