"""Shared set-up: the package from this checkout, the emulated bench, and call recording.

Run through CTest, or by hand with VELMORLIB_LIBRARY pointing at the built libVelmorLib.so.
"""

import os
import subprocess
import sys

import pytest

TESTS_FOLDER = os.path.dirname(os.path.abspath(__file__))
PYTHON_FOLDER = os.path.dirname(TESTS_FOLDER)
SOURCE_FOLDER = os.path.dirname(PYTHON_FOLDER)
HEADER = os.path.join(SOURCE_FOLDER, "include", "VelmorLib.h")

# The tests are written for this bench: 1 is hardware 1.1, 2 is 1.2, 3 is 10.1 (no relay; an X-series chip).
BENCH = "FT232R:JXah00101:2.0;FT232R:JXah00102:3.0;XSERIES:JXbh01001:1.0"
os.environ.setdefault("VELMOR_EMULATOR_BENCH", BENCH)
os.environ.setdefault("VELMOR_EMULATOR_STATE", "off")
os.environ["PYTHONDONTWRITEBYTECODE"] = "1"
sys.path.insert(0, PYTHON_FOLDER)

import velmorlib  # noqa: E402
from velmorlib import _library  # noqa: E402


class RecordingLibrary:
    """Stands in for the loaded library and records every export called through it."""

    def __init__(self, library):
        self._library = library
        self.calls = []

    def __getattr__(self, name):
        function = getattr(self._library, name)

        def record(*arguments):
            self.calls.append((name, arguments))
            return function(*arguments)

        return record


@pytest.fixture
def recorded(monkeypatch):
    """The list of (export, arguments) called from the test on."""
    recording = RecordingLibrary(_library.load_library())
    monkeypatch.setattr(_library, "load_library", lambda path=None: recording)
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
