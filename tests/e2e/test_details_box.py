"""The file details box as a real window: the host's InfoBox slot, read back with windriver."""
import subprocess
from pathlib import Path

import pytest

from audio_bytes import chunk, fmt, wave
from conftest import winpath, write_ini
from dialog_driver import DrivenProgram

CAPTION = "About file"
IDOK = 1


def sox(path, rate, channels, bits, seconds=1, *extra):
    subprocess.run(["sox", "-n", "-r", str(rate), "-c", str(channels), "-b", str(bits), *extra, str(path),
                    "synth", str(seconds), "sine", "440"], check=True, capture_output=True)
    return path


def show_details(folder, item):
    """Runs `talhost --info ITEM`; returns (caption, text) of the box it shows after
    pressing its OK button, or None when the call returned without a box."""
    item = winpath(item) if isinstance(item, Path) else item
    with DrivenProgram(folder, "talhost.exe", "--info", item) as host:
        # The driver gives up once the host has returned without a box.
        dumps = host.drive(CAPTION, "dump", ("click", IDOK), "gone", check=False)
        assert host.finish() == 0, host.stderr.decode(errors="replace")
    assert b"InfoBox returned 0" in host.stdout
    if not dumps:
        return None
    box = dumps[0]
    texts = [c["text"] for c in box["controls"] if c["class"] == "Static" and c["text"]]
    assert len(texts) == 1, box
    return box["caption"], texts[0]


@pytest.fixture
def wav_host(host):
    write_ini(host, {"Tandrel": {"OnlyWav": 1}})
    return host


def expect_box(folder, path, tail):
    shown = show_details(folder, path)
    assert shown == (CAPTION, f'File: "{winpath(path)}" {tail}')


def test_wav_only_box_texts(wav_host, tmp_path):
    expect_box(wav_host, sox(tmp_path / "stereo.wav", 44100, 2, 16), "(2ch, 44kHz, 16bit)")
    expect_box(wav_host, sox(tmp_path / "mono.wav", 22050, 1, 8), "(1ch, 22kHz, 8bit)")
    expect_box(wav_host, sox(tmp_path / "float.wav", 96000, 2, 32, 1, "-e", "floating-point"),
               "(2ch, 96kHz, 32bit float)")


def test_wav_only_crafted_headers(wav_host, tmp_path):
    files = {
        "ext float.wav": (wave(fmt(0xFFFE, 2, 48000, 32, 3), chunk(b"data", bytes(8))), "(2ch, 48kHz, 32bit float)"),
        "ext pcm.wav": (wave(fmt(0xFFFE, 2, 48000, 24, 1), chunk(b"data", bytes(6))), "(2ch, 48kHz, 24bit)"),
        "slow.wav": (wave(fmt(1, 1, 800, 8), chunk(b"data", bytes(8))), "(1ch, 0kHz, 8bit)"),
        # "fmt " as the fifth chunk and no "data" at all: the box needs only the format.
        "no data.wav": (wave(*[chunk(b"LIST", b"ab")] * 4, fmt(1, 2, 88200, 24)), "(2ch, 88kHz, 24bit)"),
    }
    for name, (content, tail) in files.items():
        (tmp_path / name).write_bytes(content)
        expect_box(wav_host, tmp_path / name, tail)


def test_wav_only_failures_show_nothing(wav_host, tmp_path):
    (tmp_path / "sixth.wav").write_bytes(wave(*[chunk(b"LIST", b"ab")] * 5, fmt(), chunk(b"data", bytes(4))))
    (tmp_path / "mpeg.wav").write_bytes(wave(fmt(0x55), chunk(b"data", bytes(4))))
    for item in [tmp_path / "sixth.wav", tmp_path / "mpeg.wav", tmp_path / "missing.wav",
                 "http://127.0.0.1:1/x.wav"]:
        assert show_details(wav_host, item) is None, item


def test_library_mode_box_texts(host, tmp_path, library_generation):
    # The stand-in library reports the source resolution; 0 for lossy formats.
    expect_box(host, sox(tmp_path / "stereo.wav", 44100, 2, 16), "(2ch, 44kHz, 16bit)")
    expect_box(host, sox(tmp_path / "float.wav", 96000, 2, 32, 1, "-e", "floating-point"), "(2ch, 96kHz, 32bit)")
    mp3 = tmp_path / "lossy.mp3"
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", str(mp3), "synth", "1", "sine", "440"], check=True,
                   capture_output=True)
    expect_box(host, mp3, "(2ch, 44kHz)")
    # 0 bits per sample: older releases divide by zero on it, so they never get it; the host lives.
    zero_bits = wave(fmt(1, 2, 44100, 0), chunk(b"data", bytes(400)))
    (tmp_path / "zero bits.wav").write_bytes(zero_bits)
    assert show_details(host, tmp_path / "zero bits.wav") is None


def test_library_mode_failures_show_nothing(host, tmp_path):
    (tmp_path / "noise.wav").write_bytes(b"not a wave file at all")
    assert show_details(host, tmp_path / "missing.wav") is None
    assert show_details(host, tmp_path / "noise.wav") is None
    # Without the library nothing opens at all.
    (host / "bass.dll").unlink()
    assert show_details(host, sox(tmp_path / "fine.wav", 44100, 2, 16)) is None
