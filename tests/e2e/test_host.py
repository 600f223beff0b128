"""The plug-in as the player loads it: module record, settings at load, the host's tools."""
import json
import shutil

from conftest import install_host, query, run_host, winpath, write_ini

ALL_EXTENSIONS = ["WAV", "FLAC", "APE", "WV", "DFF", "DSF", "M4A", "AIFF", "MP3", "MP4", "OGG", "AAC", "WMA"]


def module(folder, exe="talhost.exe"):
    return json.loads(run_host(folder, "--json", "--module", exe=exe).stdout)


def test_module_record_as_the_host_reads_it(host):
    m = module(host)
    assert m["description"] == "Tandrel Mini UPnP input 1.1"
    assert m["version"] == 0x0F000100
    assert m["uses_output_plug"] == 1
    assert m["is_seekable"] == 1
    assert m["extensions"] == ALL_EXTENSIONS


def test_extension_list_follows_only_wav(host):
    write_ini(host, {"Tandrel": {"OnlyWav": 1}})
    assert module(host)["extensions"] == ["WAV"]
    write_ini(host, {"Tandrel": {"OnlyWav": 0}})
    assert module(host)["extensions"] == ALL_EXTENSIONS


def test_volume_and_pan_reach_the_output_module(host):
    out = run_host(host, "--volume", "200", "--pan", "-40").stdout.decode()
    assert "outMod.SetVolume(200)\n" in out
    assert "outMod.SetPan(-40)\n" in out


def test_folder_walk_queries_offered_extensions_only(host, tmp_path):
    music = tmp_path / "music"
    (music / "b" / "deeper").mkdir(parents=True)
    for name in ["a.WAV", "b/c.flac", "b/deeper/d.mp3", "notes.txt", "cover.jpg", "noext"]:
        (music / name).write_bytes(b"\0" * 64)
    rows = query(host, music)
    items = [r["item"] for r in rows]
    assert items == [winpath(music / "a.WAV"), winpath(music / "b" / "c.flac"), winpath(music / "b" / "deeper" / "d.mp3")]
    for r in rows:
        assert set(r) == {"item", "length_ms", "title", "artist", "album", "year", "block"}
    # WAV-only: only the WAV file is offered.
    write_ini(host, {"Tandrel": {"OnlyWav": 1}})
    assert [r["item"] for r in query(host, music)] == [winpath(music / "a.WAV")]


def test_bad_input_fails_with_one_line(host, tmp_path):
    proc = run_host(host, "--bogus", check=False)
    assert proc.returncode != 0 and b"bad option" in proc.stderr
    proc = run_host(host, "--plugin", winpath(tmp_path / "missing.dll"), "--module", check=False)
    assert proc.returncode != 0 and b"cannot load plug-in" in proc.stderr
    # A DLL without the export.
    proc = run_host(host, "--plugin", winpath(host / "bass.dll") if (host / "bass.dll").exists()
                    else "C:\\windows\\system32\\version.dll", "--module", check=False)
    assert proc.returncode != 0 and b"winampGetInModule2" in proc.stderr


def test_missing_items_are_reported_not_fatal(host, tmp_path):
    rows = query(host, tmp_path / "gone.wav", tmp_path / "gone2.flac")
    assert len(rows) == 2


def test_settings_come_from_the_hosts_own_folder(tmp_path):
    # The plug-in reads its settings from the folder of the executable that
    # loaded it, whatever that executable's name.
    player = install_host(tmp_path / "p", exe_name="player.exe")
    write_ini(player, {"Tandrel": {"OnlyWav": 1}})
    assert module(player, exe="player.exe")["extensions"] == ["WAV"]
