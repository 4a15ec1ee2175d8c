"""Shared set-up: the server and the velmorlib module from this checkout, the emulated bench,
devices served from the test's own process, and the emulator's plug.

CTest runs each test function in a process of its own (ctest -L tango). By hand, one function a
run: pytest-3 test_motion.py::test_..., with VELMORLIB_LIBRARY naming the built libVelmorLib.so
and VELMOR_TEST_CONTROL the built libvelmor_emulator_control.so.
"""

import contextlib
import ctypes
import os
import socket
import sys
import time

import pytest

TESTS_FOLDER = os.path.dirname(os.path.abspath(__file__))
TANGO_FOLDER = os.path.dirname(TESTS_FOLDER)
SOURCE_FOLDER = os.path.dirname(TANGO_FOLDER)
PYTHON_FOLDER = os.path.join(SOURCE_FOLDER, "python")
SERVER = os.path.join(TANGO_FOLDER, "VelmorTango")

# The tests are written for this bench: units 1 to 4 have hardware 1.1, 1.2, 10.1 (no relay) and 27.1.
BENCH = "FT232R:JXah00101:2.0;FT232R:JXah00102:3.0;XSERIES:JXbh01001:1.0;XSERIES:JXah02701:1.2"
os.environ.setdefault("VELMOR_EMULATOR_BENCH", BENCH)
os.environ.setdefault("VELMOR_EMULATOR_STATE", "off")
os.environ.setdefault("VELMOR_PROFILES", "off")  # the user's profiles are not the bench's; a test names its folder
os.environ["PYTHONDONTWRITEBYTECODE"] = "1"
sys.path[:0] = [PYTHON_FOLDER, TANGO_FOLDER]
sys.path.append(os.path.join(PYTHON_FOLDER, "tests"))  # helpers.py, shared with the module's tests; last, so that
                                                       # this folder's conftest and tests come first

import tango  # noqa: E402
from tango.test_context import DeviceTestContext, MultiDeviceTestContext  # noqa: E402

from helpers import opened_through_d2xx  # noqa: E402
from velmortango.motor import VelmorMotor  # noqa: E402


@contextlib.contextmanager
def served(serial=None, device_name="velmor/motor/1"):
    """A proxy to a VelmorMotor device served from this process (one server a process: Tango allows no more)."""
    properties = {} if serial is None else {"SerialNumber": serial}
    with DeviceTestContext(VelmorMotor, device_name=device_name, properties=properties, process=False,
                           timeout=30) as proxy:
        yield proxy


@contextlib.contextmanager
def served_together(devices):
    """Proxies to VelmorMotor devices, {name: SerialNumber property or None}, on one server in this process."""
    info = [{"name": name, "properties": {} if serial is None else {"SerialNumber": serial}}
            for name, serial in devices.items()]
    with MultiDeviceTestContext([{"class": VelmorMotor, "devices": info}], process=False, timeout=30) as context:
        yield {name: context.get_device(name) for name in devices}


def wait_for(condition, what, timeout=10.0):
    """Polls condition() until it is true; fails the test with what after timeout seconds."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            pytest.fail("not within {} s: {}".format(timeout, what))
        time.sleep(0.02)


def wait_for_state(proxy, state, timeout=10.0):
    wait_for(lambda: proxy.state() == state, "state {} (is {}: {})".format(state, proxy.state(), proxy.status()),
             timeout)


def fast_and_at_zero(proxy):
    """The unit's motor on, 2000 steps/s without a ramp, at position 0."""
    proxy.On()
    proxy.StepMode = 0
    proxy.Speed = 2000
    proxy.Acceleration = 0
    proxy.Zero()


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Events:
    """Change events of one attribute, as values (None for an error event) in arrival order."""

    def __init__(self, proxy, attribute):
        self.received = []
        self._proxy = proxy
        self._id = proxy.subscribe_event(attribute, tango.EventType.CHANGE_EVENT, self._push)

    def _push(self, event):
        self.received.append(None if event.err else event.attr_value.value)

    def close(self):
        self._proxy.unsubscribe_event(self._id)

    def changes(self):
        """The values received, each repeat of the one before left out (subscribing reads the value too)."""
        return [value for position, value in enumerate(self.received)
                if position == 0 or value != self.received[position - 1]]


@pytest.fixture
def emulator_plug():
    """The emulator's unplug(position), plug(position), requests_heard(position) and
    force_ready_byte(position, byte or None), positions from 0, in this process; opened_elsewhere(serial) opens a unit through D2XX itself
    for a block, as another program would have it."""
    import velmorlib
    control = ctypes.CDLL(os.environ["VELMOR_TEST_CONTROL"])
    d2xx = ctypes.CDLL(velmorlib.get_d2xx_info().file)  # the emulator the library uses

    class Plug:
        @staticmethod
        def opened_elsewhere(serial):
            return opened_through_d2xx(d2xx, serial)

        @staticmethod
        def unplug(position):
            assert control.velmorTestUnplug(position) == 0

        @staticmethod
        def plug(position):
            assert control.velmorTestPlug(position) == 0

        @staticmethod
        def requests_heard(position):
            """How many requests the unit has understood so far."""
            heard = control.velmorTestRequestsHeard(position, None, 0)
            assert heard >= 0
            return heard

        @staticmethod
        def force_ready_byte(position, ready_byte):
            assert control.velmorTestForceReadyByte(position, -1 if ready_byte is None else ready_byte) == 0

    return Plug
