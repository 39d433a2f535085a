#!/usr/bin/env python3
"""Checks the resources linked into a built VK605.dll: the string table (exact texts, no other ids),
the version resource and the three dialog templates.

Usage: check_resources.py --version MAJOR.MINOR.PATCH DLL
Exit status 0 when every check passes, 1 when one fails, 2 when the file cannot be read.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_resources  # noqa: E402

LANG_EN_US = 0x409

CONTROL_PANEL_FAILED = "Unable to load instrument control panel."
TIMER_FAILED = "Cannot START the Control-Panel timer!"
NOT_INSTALLED = "Calvera is not installed on this computer."
NO_PROFILE = "No profile available for s/n %s"
ENABLED = "Calvera is enabled"

STRINGS = {
    100: CONTROL_PANEL_FAILED,
    101: CONTROL_PANEL_FAILED,
    102: "Uncalibrated",
    103: "Calibrated",
    104: "Communications Failure",
    105: "Transmission",
    106: "Reflectance",
    107: "Included",
    108: "Excluded",
    109: "Error",
    110: "Large",
    111: "Very Small",
    112: "Medium",
    113: "Small",
    114: "N/A",
    115: "Communications Established",
    116: "Partial",
    117: "E-101 Instrument is not calibrated! Do you want to calibrate it?",
    118: "Emulating Instrument",
    122: TIMER_FAILED,
    1130: TIMER_FAILED,
    1146: NOT_INSTALLED,
    1147: NO_PROFILE,
    1148: ENABLED,
    1149: NOT_INSTALLED,
    1150: NO_PROFILE,
    1151: ENABLED,
    3000: "Please lower the unit to the target window and hold it firmly in place while measuring.  Release the "
          "unit when the measurement is complete.  (i.e., the spectrophotometer will momentarily display "
          "\"Reading Complete\" and then data will appear on its display). ",
    3001: "Abort Measurement",
    9046: "The Expiration Time cannot be 0:00. Please enter a valid expiration time:\nHours: 0 to 720\n"
          "Minutes: 0 to 59",
    9047: "Expiration MINUTES must be in the range 0 to 59.",
    9048: "Expiration HOURS must be in the range 0 to 720.",
    9049: "Expiration Measurements must be in the range 1 to 10000.",
    10000: "Attempting To Connect To Instrument...",
}

WS_VISIBLE = 0x10000000
WS_CHILD = 0x40000000
WS_CAPTION = 0x00C00000
ES_READONLY = 0x0800
BS_TYPEMASK = 0x000F
BS_PUSHBUTTON = 0x0
BS_AUTOCHECKBOX = 0x3
BS_GROUPBOX = 0x7
IDCANCEL = 2
IDC_STATIC = -1

LABEL = ("STATIC", None)
FIELD = ("EDIT", "read-only")
EDIT = ("EDIT", "editable")
CHECK = ("BUTTON", BS_AUTOCHECKBOX)
GROUP = ("BUTTON", BS_GROUPBOX)
PUSH = ("BUTTON", BS_PUSHBUTTON)

# Per dialog: caption, size, font and controls as (id, kind, text, rect or None, visible).
DIALOGS = {
    10002: {
        "caption": "Instrument Model",
        "size": (263, 55),
        "font": (10, "Arial"),
        "popup": True,
        "controls": [
            (10001, LABEL, "", (6, 5, 250, 32), True),
            (IDCANCEL, PUSH, "Cancel", (106, 40, 50, 14), True),
        ],
    },
    7510: {
        "caption": "Varnel VK605",
        "size": (271, 146),
        "font": (8, "MS Sans Serif"),
        "popup": False,
        "controls": [
            (1035, LABEL, "System Status", None, True),
            (1023, FIELD, "", None, True),
            (1039, LABEL, "Serial Number", None, True),
            (1024, FIELD, "", None, True),
            (3001, CHECK, "Calvera", None, True),
            (10190, FIELD, "", None, True),
            (1036, LABEL, "Calibration:", None, True),
            (1022, FIELD, "", None, True),
            (1041, LABEL, "UV:", None, True),
            (1017, FIELD, "", None, True),
            (1037, LABEL, "Mode:", None, True),
            (1015, FIELD, "", None, True),
            (1038, LABEL, "Specular:", None, True),
            (1016, FIELD, "", None, True),
            (1040, LABEL, "Lens Position:", None, False),
            (1020, FIELD, "", None, False),
            (2032, LABEL, "Aperture:", None, False),
            (1021, FIELD, "", None, False),
            (1034, LABEL, "Version:", None, True),
            (1032, EDIT, "", None, True),
        ],
    },
    107: {
        "caption": "Calibration",
        "size": (260, 150),
        "font": (8, "MS Sans Serif"),
        "popup": False,
        "controls": [
            (1000, GROUP, "Calibration Expiration", None, True),
            (1112, CHECK, "Time", None, True),
            (10240, EDIT, "", None, True),
            (10242, EDIT, "", None, True),
            (1113, CHECK, "Measurements", None, True),
            (10241, EDIT, "", None, True),
            (IDC_STATIC, LABEL, ":", None, True),
            (IDC_STATIC, LABEL, "Hrs", None, True),
            (IDC_STATIC, LABEL, "Min", None, True),
        ],
    },
}


def inside(rect, size):
    x, y, cx, cy = rect
    return x >= 0 and y >= 0 and x + cx <= size[0] and y + cy <= size[1]


def check_control(dialog_id, item, kind, text, rect, visible, size, failures):
    where = f"dialog {dialog_id} control {item['id']} ({text!r})"
    window_class, detail = kind
    if item["class"] != window_class:
        failures.append(f"{where}: class {item['class']}, expected {window_class}")
    if item["text"] != text:
        failures.append(f"{where}: text {item['text']!r}")
    if window_class == "BUTTON" and (item["style"] & BS_TYPEMASK) != detail:
        failures.append(f"{where}: button type {item['style'] & BS_TYPEMASK:#x}, expected {detail:#x}")
    if window_class == "EDIT" and bool(item["style"] & ES_READONLY) != (detail == "read-only"):
        failures.append(f"{where}: expected {detail}")
    if bool(item["style"] & WS_VISIBLE) != visible:
        failures.append(f"{where}: expected {'visible' if visible else 'hidden'}")
    if rect is not None and item["rect"] != rect:
        failures.append(f"{where}: at {item['rect']}, expected {rect}")
    if not inside(item["rect"], size):
        failures.append(f"{where}: {item['rect']} lies outside the {size[0]}x{size[1]} dialog")


def check_dialog(dialog_id, dialog, expected, failures):
    if dialog["caption"] != expected["caption"]:
        failures.append(f"dialog {dialog_id}: caption {dialog['caption']!r}")
    if dialog["rect"][2:] != expected["size"]:
        failures.append(f"dialog {dialog_id}: size {dialog['rect'][2:]}, expected {expected['size']}")
    if dialog["font"] != expected["font"]:
        failures.append(f"dialog {dialog_id}: font {dialog['font']}, expected {expected['font']}")
    if not dialog["style"] & WS_CAPTION:
        failures.append(f"dialog {dialog_id}: no caption style")
    if expected["popup"] == bool(dialog["style"] & WS_CHILD):
        failures.append(f"dialog {dialog_id}: expected a {'pop-up' if expected['popup'] else 'child'} window")

    remaining = list(dialog["items"])
    for control_id, kind, text, rect, visible in expected["controls"]:
        match = next((item for item in remaining
                      if item["id"] == control_id and (control_id != IDC_STATIC or item["text"] == text)), None)
        if match is None:
            failures.append(f"dialog {dialog_id}: control {control_id} ({text!r}) missing")
            continue
        remaining.remove(match)
        check_control(dialog_id, match, kind, text, rect, visible, expected["size"], failures)
    for item in remaining:
        failures.append(f"dialog {dialog_id}: unexpected control {item['id']} {item['class']} {item['text']!r}")


def check_version(info, version, failures):
    if info is None:
        failures.append("no version resource")
        return
    numbers = tuple(int(part) for part in version.split(".")) + (0,)
    for field in ("file_version", "product_version"):
        if info[field] != numbers:
            failures.append(f"version resource: {field} {info[field]}, expected {numbers}")
    expected_strings = {
        "CompanyName": "Orvanta",
        "FileDescription": "VK605 spectrophotometer driver",
        "FileVersion": version,
        "InternalName": "VK605",
        "OriginalFilename": "VK605.dll",
        "ProductName": "VK605",
        "ProductVersion": version,
    }
    if list(info["strings"]) != ["040904b0"]:
        failures.append(f"version resource: string blocks {list(info['strings'])}, expected ['040904b0']")
    block = info["strings"].get("040904b0", {})
    if block != expected_strings:
        for key in sorted(set(block) | set(expected_strings)):
            if block.get(key) != expected_strings.get(key):
                failures.append(f"version resource: {key} = {block.get(key)!r}, expected {expected_strings.get(key)!r}")
    if info["translations"] != [(LANG_EN_US, 1200)]:
        failures.append(f"version resource: translations {info['translations']}, expected [(0x409, 1200)]")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True, help="expected MAJOR.MINOR.PATCH")
    parser.add_argument("dll")
    args = parser.parse_args(argv)

    try:
        with open(args.dll, "rb") as handle:
            image = pe_resources.PeImage(handle.read())
        resources = image.resources()
        strings = pe_resources.string_table(resources)
        languages = pe_resources.string_table_languages(resources)
        info = pe_resources.version_info(resources)
        templates = pe_resources.dialogs(resources)
    except (OSError, pe_resources.PeError, UnicodeDecodeError) as error:
        print(f"check_resources: cannot read the resources of {args.dll}: {error}", file=sys.stderr)
        return 2

    failures = []
    if languages != [LANG_EN_US]:
        failures.append(f"string table languages {[hex(language) for language in languages]}, expected ['0x409']")
    for string_id in sorted(set(strings) | set(STRINGS)):
        if string_id not in STRINGS:
            failures.append(f"string {string_id}: unexpected entry {strings[string_id]!r}")
        elif strings.get(string_id) != STRINGS[string_id]:
            failures.append(f"string {string_id}: {strings.get(string_id)!r}, expected {STRINGS[string_id]!r}")
    check_version(info, args.version, failures)
    for dialog_id, expected in DIALOGS.items():
        if dialog_id not in templates:
            failures.append(f"dialog {dialog_id} missing")
        else:
            check_dialog(dialog_id, templates[dialog_id], expected, failures)
    for dialog_id in sorted(set(templates) - set(DIALOGS), key=str):
        failures.append(f"unexpected dialog {dialog_id}")

    print(f"{args.dll}: {len(strings)} strings, {len(templates)} dialogs, "
          f"product version {info['strings'].get('040904b0', {}).get('ProductVersion') if info else None}")
    if failures:
        for failure in failures:
            print(f"FAIL: {failure}")
        return 1
    print("OK: resources match")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
