#!/usr/bin/env python3
"""A small host that shows what the VK605 driver answers without an instrument.

It copies the driver library into a fresh temporary directory (the driver keeps VK605.INI beside
itself), points the registry stand-in and the configuration directory there too, loads the library
with ctypes like a host application does, and prints a few answers.

Usage: demo_host.py PATH/TO/libvk605.so
"""

import ctypes
import os
import shutil
import sys
import tempfile

BUFFER_SIZE = 8192

MB_OKCANCEL = 0x1
MB_YESNO = 0x4
MB_TYPEMASK = 0xF
IDOK, IDCANCEL, IDNO = 1, 2, 7

MessageBoxFn = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_uint)
OpenDialogFn = ctypes.CFUNCTYPE(ctypes.c_void_p, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p,
                                ctypes.c_char_p)
SetDialogTextFn = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_char_p)
PollDialogFn = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
CloseDialogFn = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p)


class UiHandler(ctypes.Structure):
    _fields_ = [
        ("size", ctypes.c_uint),
        ("context", ctypes.c_void_p),
        ("message_box", MessageBoxFn),
        ("open_dialog", OpenDialogFn),
        ("set_dialog_text", SetDialogTextFn),
        ("poll_dialog", PollDialogFn),
        ("close_dialog", CloseDialogFn),
    ]


def text(value):
    return value.decode("latin-1") if value else ""


def show_message_box(_context, message, caption, box_type):
    kind = box_type & MB_TYPEMASK
    answer = IDNO if kind == MB_YESNO else IDCANCEL if kind == MB_OKCANCEL else IDOK
    print(f"    [message box '{text(caption)}'] {text(message)!r} -> answered {answer}")
    return answer


def open_dialog(_context, caption, message, button):
    print(f"    [dialog '{text(caption)}' opened] {text(message)!r} button {text(button)!r}")
    return 1


def set_dialog_text(_context, _dialog, message):
    print(f"    [dialog text] {text(message)!r}")


def poll_dialog(_context, _dialog):
    return 0


def close_dialog(_context, _dialog):
    print("    [dialog closed]")


# The callbacks must outlive every call into the driver.
CALLBACKS = (MessageBoxFn(show_message_box), OpenDialogFn(open_dialog), SetDialogTextFn(set_dialog_text),
             PollDialogFn(poll_dialog), CloseDialogFn(close_dialog))


class Driver:
    def __init__(self, path):
        self.lib = ctypes.CDLL(path)

    def call(self, name, *args, restype=ctypes.c_int):
        function = getattr(self.lib, name)
        function.restype = restype
        return function(*args)

    def text_call(self, name, *args):
        buffer = ctypes.create_string_buffer(BUFFER_SIZE)
        result = self.call(name, *args, buffer)
        return result, text(buffer.value)


def show(label, action):
    try:
        value = action()
    except AttributeError as error:
        value = f"(not available: {error})"
    print(f"  {label:<34} {value}")


def main(argv):
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    library = os.path.abspath(argv[0])
    if not os.path.isfile(library):
        print(f"demo: {library} not found; build first (scripts/build linux)", file=sys.stderr)
        return 1

    workdir = tempfile.mkdtemp(prefix="vk605-demo-")
    driver_dir = os.path.join(workdir, "driver")
    os.makedirs(driver_dir)
    copy = os.path.join(driver_dir, os.path.basename(library))
    shutil.copy2(library, copy)
    # Start-up reads the registry stand-in when the library is loaded: keep it inside the demo directory.
    os.environ["XDG_CONFIG_HOME"] = os.path.join(workdir, "config")
    os.environ["VK605_REGISTRY"] = os.path.join(workdir, "registry.ini")

    print(f"VK605 driver demo: {copy}")
    driver = Driver(copy)

    handler = UiHandler(ctypes.sizeof(UiHandler), None, *CALLBACKS)
    show("SetUserInterfaceHandler", lambda: driver.call("SetUserInterfaceHandler", ctypes.byref(handler)))

    print("Identity and settings")
    show("GetDriverVersion", lambda: driver.text_call("GetDriverVersion"))
    show("GetPort", lambda: driver.text_call("GetPort"))
    show("GetBaudRate", lambda: driver.call("GetBaudRate"))
    show("GetInstrumentName", lambda: driver.text_call("GetInstrumentName"))

    print("Capabilities")
    for name in ("ReflectanceSupported", "TransmissionSupported", "GetWavelengthCount", "GetStartingWavelength",
                 "GetEndingWavelength", "GetWavelengthInterval"):
        show(name, lambda name=name: driver.call(name))

    print("Error messages")
    for code in (1001, 1006, 1023, 2001):
        show(f"GetErrorMessage({code})", lambda code=code: driver.text_call("GetErrorMessage", code))

    print("Status query in emulation mode (no instrument needed)")
    show("SetEmulationMode(1)", lambda: driver.call("SetEmulationMode", 1))
    show("ReadHead(2) -> result, status", lambda: read_head_status(driver))
    show("GetInstrumentStatus", lambda: driver.text_call("GetInstrumentStatus"))

    ini = os.path.join(driver_dir, "VK605.INI")
    print(f"Settings file {ini}")
    try:
        with open(ini, encoding="latin-1") as handle:
            for line in handle.read().splitlines():
                print(f"    {line}")
    except OSError as error:
        print(f"    (not readable: {error})")
    print(f"Demo files are in {workdir}; remove them with: rm -rf {workdir}")
    return 0


def read_head_status(driver):
    buffer = ctypes.create_string_buffer(BUFFER_SIZE)
    function = driver.lib.ReadHead
    function.restype = ctypes.c_uint
    function.argtypes = [ctypes.c_uint, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_char_p]
    result = function(2, None, None, buffer)
    return result, text(buffer.value)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
