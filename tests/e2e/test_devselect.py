"""devselect.exe under Wine: its dialog read and driven with windriver, the
settings file checked afterwards."""
import json
import os
import shutil
import subprocess
from pathlib import Path

import pytest

from conftest import DIST, WINE, write_ini
from dialog_driver import DrivenProgram, ini_section, read_ini

CAPTION = "Select Audio Device"
ALL_KEYS = ["WaveDevice", "WavePreloadBuffer", "WaveVolume", "WaveDirect", "WaveBufferSize", "WaveBufferNum",
            "AutoSamplerate", "Mixer32"]


@pytest.fixture
def tool(tmp_path):
    """devselect.exe alone in a folder, as installed, with windriver beside it."""
    folder = tmp_path / "tool"
    folder.mkdir()
    for name in ("devselect.exe", "windriver.exe"):
        shutil.copy2(DIST / name, folder / name)
    return folder


@pytest.fixture
def audio(tmp_path):
    """An ALSA configuration whose default device is a null sink: quick, quiet
    and the same on every machine."""
    conf = tmp_path / "asound.conf"
    conf.write_text("pcm.!default { type null }\npcm.tandrel_a { type null }\npcm.tandrel_b { type null }\n")
    return {"ALSA_CONFIG_PATH": str(conf)}


def run_dialog(folder, env, *steps, exe="devselect.exe", cwd=None):
    """Starts the tool, drives its dialog, waits for it to end; returns the dumps."""
    with DrivenProgram(folder, exe, env=env, cwd=cwd) as prog:
        dumps = prog.drive(CAPTION, *steps)
        assert prog.finish() == 0
    return dumps


def state(dump):
    """The values the dialog shows, in the file's terms."""
    c = dump.by_id
    return {
        "rows": c[1001]["items"], "row": c[1001]["selection"],
        "preload": c[1014]["text"], "size": c[1013]["text"], "count": c[1016]["text"],
        "direct": c[1015]["checked"], "volume": c[1017]["checked"], "auto": c[1025]["checked"],
        "mixer24": (c[1026]["checked"], c[1026]["enabled"]), "mixer32": (c[1027]["checked"], c[1027]["enabled"]),
    }


def test_missing_file_shows_defaults_and_ok_writes_every_key(tool, audio):
    (dump,) = run_dialog(tool, audio, "dump", ("click", 1), "gone")
    shown = state(dump)
    assert shown["rows"][0] == "<Default Device>" and shown["row"] == 0
    assert (shown["preload"], shown["size"], shown["count"]) == ("256", "32", "4")
    assert (shown["direct"], shown["volume"], shown["auto"]) == (0, 1, 0)
    assert shown["mixer24"] == (0, False) and shown["mixer32"] == (1, False)
    assert dump["caption"] == CAPTION
    assert read_ini(tool / "Tandrel.ini") == [
        ("Tandrel", "WaveDevice", "0"), ("Tandrel", "WavePreloadBuffer", "256"), ("Tandrel", "WaveVolume", "1"),
        ("Tandrel", "WaveDirect", "0"), ("Tandrel", "WaveBufferSize", "32"), ("Tandrel", "WaveBufferNum", "4"),
        ("Tandrel", "AutoSamplerate", "0"), ("Tandrel", "Mixer32", "1")]


def test_stored_values_are_shown_as_read_and_corrected_only_on_ok(tool, audio):
    # Values out of range, a device row that does not exist, and flag values
    # too long for a five-character text.
    write_ini(tool, {"Tandrel": {"WaveDevice": 7, "WavePreloadBuffer": 100000, "WaveBufferNum": 0,
                                 "WaveBufferSize": 600, "WaveVolume": 0, "WaveDirect": 1,
                                 "AutoSamplerate": 123456, "Mixer32": -10000},
                     "SACD": {"volume": 2}})
    (dump,) = run_dialog(tool, audio, "dump", ("click", 1), "gone")
    shown = state(dump)
    assert shown["row"] == -1, "no row for a device that does not exist"
    assert (shown["preload"], shown["size"], shown["count"]) == ("100000", "600", "0")
    assert (shown["direct"], shown["volume"], shown["auto"]) == (1, 0, 1)
    assert shown["mixer24"] == (0, True) and shown["mixer32"] == (1, True)
    assert ini_section(tool / "Tandrel.ini", "Tandrel") == {
        "WaveDevice": "7", "WavePreloadBuffer": "32768", "WaveBufferNum": "2", "WaveBufferSize": "512",
        "WaveVolume": "0", "WaveDirect": "1", "AutoSamplerate": "123456", "Mixer32": "-10000"}
    assert ini_section(tool / "Tandrel.ini", "SACD") == {"volume": "2"}, "other sections untouched"


# preload, size, count typed in; what OK stores for each
CLAMPS = [
    ("", "0", "1", "64", "1", "2"),
    ("10", "600", "9", "64", "512", "8"),
    ("40000", "1", "5", "32768", "1", "5"),
    ("3000000000", "512", "2", "64", "512", "2"),  # above 2147483647: negative when taken as signed
    ("99999999999", "513", "8", "64", "512", "8"),  # above 4294967295: reads as 0
]


@pytest.mark.parametrize("preload,size,count,want_preload,want_size,want_count", CLAMPS)
def test_ok_clamps_the_numbers(tool, audio, preload, size, count, want_preload, want_size, want_count):
    # Mixer32 is written back from what was loaded even while the mixer
    # buttons are disabled.
    write_ini(tool, {"Tandrel": {"Mixer32": 2, "AutoSamplerate": 0}})
    run_dialog(tool, audio, ("settext", 1014, preload), ("settext", 1013, size), ("settext", 1016, count),
               ("click", 1), "gone")
    stored = ini_section(tool / "Tandrel.ini", "Tandrel")
    assert (stored["WavePreloadBuffer"], stored["WaveBufferSize"], stored["WaveBufferNum"]) == (
        want_preload, want_size, want_count)
    assert (stored["Mixer32"], stored["AutoSamplerate"]) == ("2", "0")


def test_automate_box_enables_the_mixer_buttons_and_keeps_the_choice(tool, audio):
    write_ini(tool, {"Tandrel": {"Mixer32": 2, "AutoSamplerate": 0, "WaveVolume": 0}})
    dumps = run_dialog(tool, audio, "dump", ("click", 1025), "dump", ("click", 1026), "dump", ("click", 1025),
                       "dump", ("click", 1025), "dump", ("click", 1017), "dump", ("click", 1), "gone")
    mixers = [(state(d)["auto"], state(d)["mixer24"], state(d)["mixer32"]) for d in dumps]
    assert mixers == [
        (0, (0, False), (1, False)),  # as loaded: 32-bit checked, both disabled
        (1, (0, True), (1, True)),    # Automate checked: both enabled
        (1, (1, True), (0, True)),    # 24-bit clicked: one group, the other unchecks
        (0, (1, False), (0, False)),  # Automate unchecked: disabled, choice kept
        (1, (1, True), (0, True)),    # and enabled again
        (1, (1, True), (0, True)),
    ]
    assert state(dumps[-1])["volume"] == 1
    stored = ini_section(tool / "Tandrel.ini", "Tandrel")
    assert (stored["AutoSamplerate"], stored["Mixer32"], stored["WaveVolume"]) == ("1", "0", "1")


def test_clicking_32_bit_mixer_stores_1(tool, audio):
    write_ini(tool, {"Tandrel": {"Mixer32": 0, "AutoSamplerate": 5}})
    (dump,) = run_dialog(tool, audio, "dump", ("click", 1027), ("click", 1), "gone")
    assert state(dump)["mixer24"] == (1, True)
    stored = ini_section(tool / "Tandrel.ini", "Tandrel")
    assert (stored["AutoSamplerate"], stored["Mixer32"]) == ("5", "1")


@pytest.mark.parametrize("how", [("click", 2), ("key", "esc"), ("close",)], ids=["cancel", "esc", "close-box"])
def test_leaving_without_ok_changes_nothing(tool, audio, how):
    write_ini(tool, {"Tandrel": {"WaveDevice": 0, "WavePreloadBuffer": 100000, "Mixer32": 2},
                     "SACD": {"asio_mode": 1}})
    before = (tool / "Tandrel.ini").read_bytes()
    run_dialog(tool, audio, ("settext", 1014, "512"), ("select", 1001, 1), ("click", 1015), ("click", 1025),
               ("click", 1026), how, "gone")
    assert (tool / "Tandrel.ini").read_bytes() == before


def test_no_file_is_made_without_ok(tool, audio):
    run_dialog(tool, audio, ("key", "esc"), "gone")
    assert not (tool / "Tandrel.ini").exists()


def test_enter_is_ok(tool, audio):
    run_dialog(tool, audio, ("settext", 1016, "3"), ("key", "enter"), "gone")
    assert ini_section(tool / "Tandrel.ini", "Tandrel")["WaveBufferNum"] == "3"


def wine_reg(*args):
    subprocess.run([WINE, "reg", *args], capture_output=True, timeout=300, check=False)


def test_rows_follow_the_device_numbers(tool, audio):
    # Two more null sinks as Wine's ALSA driver output devices.
    key = r"HKCU\Software\Wine\Drivers\winealsa.drv"
    wine_reg("add", key, "/v", "ALSAOutputDevices", "/t", "REG_MULTI_SZ", "/d", r"tandrel_a\0tandrel_b", "/f")
    env = dict(os.environ, **audio)
    list_devices = lambda: subprocess.run([WINE, str(DIST / "windriver.exe"), "wavedevices"], env=env,
                                          capture_output=True, timeout=300, check=True)
    try:
        # Wine numbers the devices by ids the prefix makes when it first meets
        # them: the process that meets them lists new ones in the driver's
        # order, every later one in the order of those ids. So the prefix meets
        # them first, and the order is then taken from another process.
        list_devices()
        write_ini(tool, {"Tandrel": {"WaveDevice": 9}})
        (dump,) = run_dialog(tool, audio, "dump", ("select", 1001, 2), ("click", 1), "gone")
        listed = list_devices()
    finally:
        wine_reg("delete", key, "/v", "ALSAOutputDevices", "/f")
    rows = state(dump)["rows"]
    if not any("tandrel_b" in r for r in rows):
        pytest.skip(f"Wine's audio driver here does not list the extra ALSA devices: {rows}")
    devices = json.loads(listed.stdout.decode("utf-8"))
    assert len(rows) == 4 and rows[0] == "<Default Device>"
    assert rows[1:] == devices  # row 0 is the tool's own, row N+1 is device N
    assert any("tandrel_a" in r for r in rows) and any("tandrel_b" in r for r in rows)
    assert state(dump)["row"] == -1
    assert ini_section(tool / "Tandrel.ini", "Tandrel")["WaveDevice"] == "2"


def test_path_without_room_for_the_file_name_shows_defaults_and_writes_nothing(tmp_path, audio):
    # A folder whose path leaves fewer than 12 of the 522 units for the file
    # name "Tandrel.ini": the tool renamed d.exe still fits.
    root = tmp_path / "deep"
    winlen = lambda p: len("Z:" + str(p)) + 1  # the folder with its trailing backslash
    folder = root
    while winlen(folder) < 515 - 60:
        folder = folder / ("x" * 50)
    folder = folder / ("y" * (515 - winlen(folder) - 1))
    assert winlen(folder) == 515
    folder.mkdir(parents=True)
    shutil.copy2(DIST / "devselect.exe", folder / "d.exe")
    write_ini(folder, {"Tandrel": {"WavePreloadBuffer": 1000, "WaveBufferNum": 3}})
    before = (folder / "Tandrel.ini").read_bytes()
    (dump,) = run_dialog(folder, audio, "dump", ("click", 1), "gone", exe="d.exe", cwd=tmp_path)
    assert (state(dump)["preload"], state(dump)["count"]) == ("256", "4"), "defaults: the file was not read"
    assert (folder / "Tandrel.ini").read_bytes() == before
    assert sorted(p.name for p in folder.iterdir()) == ["Tandrel.ini", "d.exe"]
