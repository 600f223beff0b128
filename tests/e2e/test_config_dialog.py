"""The plug-in's configure and about commands, called by talhost under Wine:
the DSD decoder settings dialog and the message boxes, driven with windriver."""
import shutil

import pytest

from conftest import DIST, install_host, winpath, write_ini
from dialog_driver import DrivenProgram, ini_section, read_ini

CAPTION = "DSD Decoder settings"
LISTS = {1003: ["PCM", "DSD DoP", "Native (ASIO)"],
         1016: ["DSD64", "DSD128", "DSD256", "DSD512"],
         1005: ["+0dB", "+1dB", "+2dB", "+3dB", "+4dB", "+5dB", "+6dB"],
         1007: ["44100", "88200", "176400", "352800"]}
SACD_ORDER = ["asio_mode", "dsd_limit", "pcm_multichannel", "volume", "samplerate"]


def shown(dump):
    """asio_mode, dsd_limit, pcm_multichannel, volume, samplerate as the dialog shows them."""
    c = dump.by_id
    return (c[1003]["selection"], c[1016]["selection"], c[1019]["checked"], c[1005]["selection"],
            c[1007]["selection"])


def change_everything(values):
    """Steps that make the dialog show `values` (in SACD_ORDER), the check box by a click."""
    asio, dsd, _, volume, rate = values
    return [("select", 1003, asio), ("select", 1016, dsd), ("click", 1019), ("select", 1005, volume),
            ("select", 1007, rate)]


def config(host, *steps, args=("--config",)):
    with DrivenProgram(host, "talhost.exe", *args) as prog:
        dumps = prog.drive(CAPTION, *steps)
        assert prog.finish() == 0
    return dumps, prog.stdout.decode(errors="replace")


def test_missing_file_shows_defaults_and_ok_stores_five_keys_in_order(host):
    dumps, out = config(host, "dump", *change_everything((2, 0, 1, 6, 3)), "dump", ("click", 1), "gone")
    before, after = dumps
    assert [before.by_id[i]["items"] for i in LISTS] == list(LISTS.values())
    assert shown(before) == (0, 3, 0, 4, 0)
    assert before.by_id[1005]["text"] == "+4dB"
    assert before["owner_class"] == "TalhostMain", "owned by the host's main window"
    assert shown(after) == (2, 0, 1, 6, 3)
    assert "Config returned" in out
    assert read_ini(host / "Tandrel.ini") == [("SACD", k, v) for k, v in zip(SACD_ORDER, ["2", "0", "1", "6", "3"])]


def test_index_outside_its_list_shows_no_selection_and_ok_stores_minus_one(host):
    write_ini(host, {"Tandrel": {"WaveDevice": 3, "OnlyWav": 0},
                     "SACD": {"asio_mode": 1, "dsd_limit": 9, "pcm_multichannel": 1, "volume": 6, "samplerate": 2}})
    (dump,), _ = config(host, "dump", ("click", 1), "gone")
    assert shown(dump) == (1, -1, 1, 6, 2)
    assert dump.by_id[1016]["text"] == ""
    assert ini_section(host / "Tandrel.ini", "SACD") == {
        "asio_mode": "1", "dsd_limit": "-1", "pcm_multichannel": "1", "volume": "6", "samplerate": "2"}
    assert ini_section(host / "Tandrel.ini", "Tandrel") == {"WaveDevice": "3", "OnlyWav": "0"}


@pytest.mark.parametrize("how", [("click", 2), ("key", "esc"), ("close",)], ids=["cancel", "esc", "close-box"])
def test_leaving_without_ok_keeps_the_file(host, how):
    write_ini(host, {"SACD": {"asio_mode": 1, "dsd_limit": 2, "pcm_multichannel": 0, "volume": 5,
                              "samplerate": 1}})
    before = (host / "Tandrel.ini").read_bytes()
    _, out = config(host, *change_everything((0, 3, 1, 0, 3)), how, "gone")
    assert "Config returned" in out
    assert (host / "Tandrel.ini").read_bytes() == before


def test_cancel_keeps_the_values_the_plugin_holds(host):
    write_ini(host, {"SACD": {"asio_mode": 1, "dsd_limit": 2, "pcm_multichannel": 0, "volume": 5,
                              "samplerate": 1}})
    with DrivenProgram(host, "talhost.exe", "--config", "--config") as prog:
        prog.drive(CAPTION, *change_everything((0, 3, 1, 0, 3)), ("click", 2), "gone")
        # The second command shows what the plug-in holds now; OK stores it.
        dumps = prog.drive(CAPTION, "dump", ("click", 1), "gone")
        code = prog.finish()
    assert code == 0
    assert shown(dumps[0]) == (1, 2, 0, 5, 1)
    assert ini_section(host / "Tandrel.ini", "SACD") == {
        "asio_mode": "1", "dsd_limit": "2", "pcm_multichannel": "0", "volume": "5", "samplerate": "1"}


def test_wav_only_mode_shows_only_the_notice(host):
    write_ini(host, {"Tandrel": {"OnlyWav": 1}, "SACD": {"dsd_limit": 9}})
    before = (host / "Tandrel.ini").read_bytes()
    with DrivenProgram(host, "talhost.exe", "--config") as prog:
        (box,) = prog.drive("Configuration", "dump", ("click", 1), "gone")
        assert prog.finish() == 0
    assert box["class"] == "#32770" and box["owner_class"] == "TalhostMain"
    assert "No configuration." in box.texts()
    assert [c["text"] for c in box["controls"] if c["class"] == "Button"] == ["OK"]
    assert "Config returned" in prog.stdout.decode()
    assert (host / "Tandrel.ini").read_bytes() == before


def test_about_names_the_plugin(host):
    with DrivenProgram(host, "talhost.exe", "--about") as prog:
        (box,) = prog.drive("About Plugin", "dump", ("key", "enter"), "gone")
        assert prog.finish() == 0
    assert box["owner_class"] == "TalhostMain"
    statics = [c["text"] for c in box["controls"] if c["class"] == "Static" and c["text"]]
    assert len(statics) == 1
    lines = statics[0].split("\n")
    assert lines[0] == "Tandrel Mini UPnP input 1.1"
    assert len(lines) == 2 and lines[1].strip()
    assert [c["text"] for c in box["controls"] if c["class"] == "Button"] == ["OK"]
    assert "About returned" in prog.stdout.decode()


def test_host_path_without_room_for_the_file_name_writes_nothing(tmp_path):
    # The host lies in a folder whose path alone fills the dialog's 260-unit
    # buffer; the plug-in is loaded from a short one.
    plugin_dir = install_host(tmp_path / "p")
    folder = tmp_path
    while len("Z:" + str(folder)) < 300:
        folder = folder / ("x" * 40)
    folder.mkdir(parents=True)
    shutil.copy2(DIST / "talhost.exe", folder / "talhost.exe")
    write_ini(folder, {"SACD": {"dsd_limit": 1}})
    before = (folder / "Tandrel.ini").read_bytes()
    args = ("--plugin", winpath(plugin_dir / "lumesrc.dll"), "--config", "--config")
    with DrivenProgram(folder, "talhost.exe", *args, cwd=tmp_path) as prog:
        prog.driver = plugin_dir / "windriver.exe"
        (first,) = prog.drive(CAPTION, "dump", ("select", 1016, 0), ("click", 1), "gone")
        again = prog.drive(CAPTION, "dump", ("key", "esc"), "gone", check=False)
        assert prog.finish() == 0
    # The host's settings file was out of reach at load too: defaults.
    assert shown(first) == (0, 3, 0, 4, 0)
    assert (folder / "Tandrel.ini").read_bytes() == before
    assert not (plugin_dir / "Tandrel.ini").exists()
    if again:
        assert shown(again[0])[1] == 0, "the values are kept for the rest of the process"
