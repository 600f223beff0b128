"""The dialog templates and the manifest as compiled into the modules."""
import xml.etree.ElementTree as ET

import pytest

from conftest import DIST
from pe_resources import RT_DIALOG, RT_MANIFEST, parse_dialog, read_resources

WS_POPUP, WS_CAPTION, WS_SYSMENU = 0x80000000, 0x00C00000, 0x00080000
WS_CHILD, WS_VISIBLE, WS_BORDER, WS_VSCROLL = 0x40000000, 0x10000000, 0x00800000, 0x00200000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_SETFONT, DS_MODALFRAME, DS_FIXEDSYS, DS_CENTER = 0x40, 0x80, 0x08, 0x800
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX, BS_GROUPBOX, BS_AUTORADIOBUTTON = 0, 1, 3, 7, 9
SS_LEFT, SS_RIGHT = 0, 2
CBS_DROPDOWNLIST = 3
LBS_NOTIFY, LBS_SORT, LBS_MULTIPLESEL, LBS_NOINTEGRALHEIGHT, LBS_EXTENDEDSEL = 0x1, 0x2, 0x8, 0x100, 0x800
ES_AUTOHSCROLL, ES_NUMBER = 0x80, 0x2000
TYPE_MASK = {"Button": 0xF, "Static": 0x1F, "ComboBox": 0x3, "ListBox": 0, "Edit": 0}

DROP_LIST = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
NUMBER_EDIT = ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP

# id, class, text, x, y, w, h, style bits that must be set
DSD_CONTROLS = [
    (1010, "Static", "Output  Mode:", 7, 19, 53, 12, SS_LEFT),
    (1003, "ComboBox", "", 65, 18, 53, 94, DROP_LIST),
    (1014, "Static", "DSD Mode limit:", 7, 54, 53, 12, SS_LEFT),
    (1016, "ComboBox", "", 67, 52, 53, 94, DROP_LIST),
    (1019, "Button", "PCM mode for multichannel", 69, 81, 118, 10, BS_AUTOCHECKBOX),
    (1004, "Static", "PCM Volume:", 141, 19, 48, 11, SS_LEFT),
    (1005, "ComboBox", "", 191, 18, 53, 94, DROP_LIST),
    (1006, "Static", "PCM Samplerate:", 127, 54, 56, 9, SS_LEFT),
    (1007, "ComboBox", "", 191, 52, 53, 57, DROP_LIST),
    (1, "Button", "OK", 127, 135, 37, 14, BS_DEFPUSHBUTTON),
    (2, "Button", "Cancel", 189, 135, 39, 14, BS_PUSHBUTTON),
]

# The same for devselect, in tab order; the last column says whether the
# control starts a group.
DEVICE_CONTROLS = [
    (1, "Button", "OK", 133, 160, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP, False),
    (2, "Button", "Cancel", 220, 160, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, False),
    (1001, "ListBox", "", 7, 7, 263, 71, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
     False),
    (-1, "Button", "Output buffers", 121, 106, 149, 43, BS_GROUPBOX, False),
    (1013, "Edit", "", 233, 116, 30, 13, NUMBER_EDIT, False),
    (-1, "Static", "Preload buffer, 64 - 32768 KB", 130, 92, 97, 8, SS_RIGHT, True),
    (1014, "Edit", "", 232, 89, 31, 12, NUMBER_EDIT, False),
    (1015, "Button", "Force Direct Mode", 21, 154, 74, 10, BS_AUTOCHECKBOX | WS_TABSTOP, False),
    (-1, "Static", "Output buffer size, 1 - 512 KB", 128, 118, 100, 8, SS_LEFT, True),
    (-1, "Static", "Number of output buffers, 2 - 8", 128, 134, 101, 8, SS_LEFT, True),
    (1016, "Edit", "", 233, 131, 30, 13, NUMBER_EDIT, False),
    (1025, "Button", "Automate system sampling rate", 7, 98, 113, 10, BS_AUTOCHECKBOX | WS_TABSTOP, False),
    (1026, "Button", "24-bit mixer", 22, 116, 54, 10, BS_AUTORADIOBUTTON | WS_TABSTOP, False),
    (1027, "Button", "32-bit mixer", 22, 130, 54, 10, BS_AUTORADIOBUTTON, False),
    (-1, "Button", "", 7, 108, 92, 36, BS_GROUPBOX, True),
]


def dialog_101(module):
    resources = read_resources(DIST / module)
    blobs = resources.get((RT_DIALOG, 101))
    assert blobs and len(blobs) == 1, f"{module} has no single dialog 101"
    return parse_dialog(blobs[0]), resources


def check_control(actual, expected_id, cls, text, x, y, w, h, style):
    where = f"control {expected_id} {text!r}"
    assert actual["id"] == expected_id, where
    assert actual["class"].lower() == cls.lower(), where
    assert actual["text"] == text, where
    assert actual["rect"] == [x, y, w, h], where
    s = actual["style"]
    assert s & (WS_CHILD | WS_VISIBLE) == WS_CHILD | WS_VISIBLE, where
    mask = TYPE_MASK[cls]
    assert s & mask == style & mask, f"{where}: kind {s & mask:#x}"
    assert s & style == style, f"{where}: style {s:#x} lacks {style & ~s:#x}"


def test_dsd_settings_template_matches_its_table():
    dlg, _ = dialog_101("lumesrc.dll")
    assert dlg["caption"] == "DSD Decoder settings"
    assert dlg["rect"][2:] == [258, 156]
    assert (dlg["font"], dlg["font_size"]) == ("MS Shell Dlg", 8)
    needed = DS_SETFONT | DS_MODALFRAME | WS_CAPTION | WS_SYSMENU
    assert dlg["style"] & needed == needed
    assert len(dlg["controls"]) == len(DSD_CONTROLS)
    for actual, expected in zip(dlg["controls"], DSD_CONTROLS):
        check_control(actual, *expected)


def test_device_template_matches_its_table():
    dlg, _ = dialog_101("devselect.exe")
    assert dlg["extended"], "an extended dialog template"
    assert dlg["caption"] == "Select Audio Device"
    assert dlg["rect"][2:] == [277, 182]
    assert (dlg["font"], dlg["font_size"], dlg["font_weight"]) == ("MS Shell Dlg", 8, 400)
    needed = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_FIXEDSYS
    assert dlg["style"] & needed == needed
    controls = dlg["controls"]
    # The table's controls come first, in its order; 1017 ("Volume control",
    # for WaveVolume) follows them.
    assert len(controls) == len(DEVICE_CONTROLS) + 1
    for actual, (cid, cls, text, x, y, w, h, style, group) in zip(controls, DEVICE_CONTROLS):
        check_control(actual, cid, cls, text, x, y, w, h, style)
        assert bool(actual["style"] & WS_GROUP) == group, f"group start of {cid} {text!r}"
        if cls in ("Button", "Edit", "ListBox") and cid != -1:
            assert bool(actual["style"] & WS_TABSTOP) == bool(style & WS_TABSTOP), f"tab stop of {cid}"
    listbox = controls[2]["style"]
    assert listbox & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL) == 0, "unsorted, single selection"


def test_volume_box_lies_inside_the_dialog_and_overlaps_nothing():
    dlg, _ = dialog_101("devselect.exe")
    volume = dlg["controls"][-1]
    assert volume["id"] == 1017 and volume["class"].lower() == "button"
    assert volume["style"] & 0xF == BS_AUTOCHECKBOX and volume["style"] & WS_TABSTOP
    x, y, w, h = volume["rect"]
    width, height = dlg["rect"][2:]
    assert x >= 0 and y >= 0 and x + w <= width and y + h <= height
    for other in dlg["controls"][:-1]:
        ox, oy, ow, oh = other["rect"]
        apart = x + w <= ox or ox + ow <= x or y + h <= oy or oy + oh <= y
        # Group boxes are frames: only their outline would collide.
        if other["style"] & 0xF == BS_GROUPBOX and other["class"].lower() == "button":
            apart = apart or (ox < x and x + w < ox + ow and oy < y and y + h < oy + oh)
        assert apart, f"1017 overlaps {other['id']} {other['text']!r}"


def test_devselect_embeds_only_the_elevation_manifest():
    resources = read_resources(DIST / "devselect.exe")
    manifests = {k: v for k, v in resources.items() if k[0] == RT_MANIFEST}
    assert list(manifests) == [(RT_MANIFEST, 1)]
    assert len(manifests[(RT_MANIFEST, 1)]) == 1
    root = ET.fromstring(manifests[(RT_MANIFEST, 1)][0])
    v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
    assert root.tag == v1 + "assembly"
    assert root.get("manifestVersion") == "1.0"
    tags = [e.tag for e in root.iter()]
    assert tags == [v1 + "assembly", v3 + "trustInfo", v3 + "security", v3 + "requestedPrivileges",
                    v3 + "requestedExecutionLevel"], "nothing but the execution level"
    level = root.find(f"{v3}trustInfo/{v3}security/{v3}requestedPrivileges/{v3}requestedExecutionLevel")
    assert level.attrib == {"level": "requireAdministrator", "uiAccess": "false"}


@pytest.mark.parametrize("module", ["lumesrc.dll", "devselect.exe"])
def test_each_module_carries_its_one_dialog(module):
    resources = read_resources(DIST / module)
    assert [k for k in resources if k[0] == RT_DIALOG] == [(RT_DIALOG, 101)]
