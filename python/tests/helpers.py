"""Test helpers of the Python module's tests and the Tango server's (tango/tests/conftest.py puts
this folder on the path): the recording library and a unit opened as another program has it.

They live beside the tests rather than in the velmorlib package, which installs no test code.
"""

import contextlib
import ctypes


class RecordingLibrary:
    """Stands in for the loaded library: records every function called through it in .calls, as
    (C name, arguments), and runs a stand-in instead of the library's function where .stand_ins
    names one ({C name: function taking the same arguments})."""

    def __init__(self, library):
        self._library = library
        self.calls = []
        self.stand_ins = {}

    def __getattr__(self, name):
        function = getattr(self._library, name)

        def record(*arguments):
            self.calls.append((name, arguments))
            return self.stand_ins.get(name, function)(*arguments)

        return record

    def names(self):
        """The C names of the calls recorded, in order."""
        return [name for name, _ in self.calls]


def record_calls(monkeypatch):
    """A RecordingLibrary in place of the loaded library (velmorlib's load_library) for the test."""
    from velmorlib import _library
    recording = RecordingLibrary(_library.load_library())
    monkeypatch.setattr(_library, "load_library", lambda path=None: recording)
    return recording


class _DeviceNode(ctypes.Structure):
    """D2XX's FT_DEVICE_LIST_INFO_NODE."""
    _fields_ = [("flags", ctypes.c_uint32), ("type", ctypes.c_uint32), ("id", ctypes.c_uint32),
                ("locationId", ctypes.c_uint32), ("serialNumber", ctypes.c_char * 16),
                ("description", ctypes.c_char * 64), ("handle", ctypes.c_void_p)]


@contextlib.contextmanager
def opened_through_d2xx(d2xx, serial):
    """The unit with this USB serial number open through the D2XX library d2xx (a ctypes.CDLL) for
    the block, as another program would have it."""
    count = ctypes.c_uint32()
    assert d2xx.FT_CreateDeviceInfoList(ctypes.byref(count)) == 0
    nodes = (_DeviceNode * max(count.value, 1))()
    assert d2xx.FT_GetDeviceInfoList(nodes, ctypes.byref(count)) == 0
    listed = [node.serialNumber.decode() for node in nodes[:count.value]]
    handle = ctypes.c_void_p()
    assert d2xx.FT_Open(listed.index(serial), ctypes.byref(handle)) == 0
    try:
        yield
    finally:
        d2xx.FT_Close(handle)
