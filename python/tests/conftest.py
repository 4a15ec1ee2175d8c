"""Shared set-up: the package from this checkout, the emulated bench, and call recording
(helpers.py, which the Tango server's tests share).

Run through CTest, or by hand with VELMORLIB_LIBRARY pointing at the built libVelmorLib.so.
The bench fixture plugs units in and out through the build's libvelmor_emulator_control.so
(VELMOR_TEST_CONTROL, else found in the lib folder of the build the library comes from).
"""

import ctypes
import os
import subprocess
import sys

import pytest

TESTS_FOLDER = os.path.dirname(os.path.abspath(__file__))
PYTHON_FOLDER = os.path.dirname(TESTS_FOLDER)
SOURCE_FOLDER = os.path.dirname(PYTHON_FOLDER)
HEADER = os.path.join(SOURCE_FOLDER, "include", "VelmorLib.h")

# The tests are written for this bench: 1 is hardware 1.1, 2 is 1.2, 3 is 10.1 (no relay; an X-series chip).
SERIALS = ("JXah00101", "JXah00102", "JXbh01001")
BENCH = "FT232R:JXah00101:2.0;FT232R:JXah00102:3.0;XSERIES:JXbh01001:1.0"
os.environ.setdefault("VELMOR_EMULATOR_BENCH", BENCH)
os.environ.setdefault("VELMOR_EMULATOR_STATE", "off")
os.environ["PYTHONDONTWRITEBYTECODE"] = "1"
sys.path.insert(0, PYTHON_FOLDER)

import velmorlib  # noqa: E402
from helpers import opened_through_d2xx, record_calls  # noqa: E402


@pytest.fixture
def recording(monkeypatch):
    """The RecordingLibrary standing in for the library from the test on."""
    return record_calls(monkeypatch)


@pytest.fixture
def recorded(recording):
    """The list of (export, arguments) called from the test on."""
    return recording.calls


@pytest.fixture
def initialised():
    """A library state with every unit's handshake still to run."""
    velmorlib.initialise()


def run_python(code, env_changes=None, cwd=None):
    """Runs code in a fresh Python process (so a fresh library state) with the test's environment."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(filter(None, [PYTHON_FOLDER, env.get("PYTHONPATH")]))
    for name, value in (env_changes or {}).items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    return subprocess.run([sys.executable, "-c", code], env=env, cwd=cwd, capture_output=True, text=True,
                          timeout=60)


def control_library_path():
    explicit = os.environ.get("VELMOR_TEST_CONTROL")
    if explicit:
        return explicit
    build = os.path.dirname(os.path.dirname(os.path.realpath(os.environ["VELMORLIB_LIBRARY"])))
    return os.path.join(build, "lib", "libvelmor_emulator_control.so")


class Bench:
    """The emulated units of this process by their position on the bench, from 0 (SERIALS)."""

    def __init__(self, control, d2xx):
        self._control = control
        self._d2xx = d2xx
        self.unplugged = set()

    def unplug(self, *positions):
        for position in positions:
            assert self._control.velmorTestUnplug(position) == 0
            self.unplugged.add(position)

    def plug(self, *positions):
        for position in positions:
            assert self._control.velmorTestPlug(position) == 0
            self.unplugged.discard(position)

    def requests_heard(self, position):
        return self._control.velmorTestRequestsHeard(position, None, 0)

    def listen(self):
        """A function giving the positions of the units that heard a request from now on."""
        before = [self.requests_heard(position) for position in range(len(SERIALS))]
        return lambda: {position for position in range(len(SERIALS)) if self.requests_heard(position) > before[position]}

    def open_handles(self):
        return self._control.velmorTestOpenHandles()

    def opened_elsewhere(self, position):
        """The unit open through D2XX itself, as another program would have it, for the block."""
        return opened_through_d2xx(self._d2xx, SERIALS[position])


@pytest.fixture
def bench(initialised):
    """The bench, every unit plugged in again and nothing held when the test ends."""
    path = control_library_path()
    if not os.path.isfile(path):
        pytest.skip("no emulator control library at {} (VELMOR_TEST_CONTROL)".format(path))
    control = ctypes.CDLL(path)
    if not hasattr(control, "velmorTestRequestsHeard"):
        pytest.fail("{} predates velmorTestRequestsHeard: build it again".format(path))
    bench = Bench(control, ctypes.CDLL(velmorlib.get_d2xx_info().file))  # the emulator the library uses
    yield bench
    velmorlib.release_all_units()
    bench.plug(*sorted(bench.unplugged))
