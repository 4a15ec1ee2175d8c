"""A Python program and velmorctl on one unit at once, through velmord: neither locks the other
out (no code 3), and the Python loop sees the move velmorctl makes."""

import os
import subprocess
import time

import pytest

import velmorlib

VELMORD = os.environ.get("VELMORD")
VELMORCTL = os.environ.get("VELMORCTL")

pytestmark = pytest.mark.skipif(not VELMORD or not VELMORCTL, reason="velmord and velmorctl of the build tree")


@pytest.fixture
def velmord(tmp_path, monkeypatch):
    socket = tmp_path / "velmord.sock"
    daemon = subprocess.Popen([VELMORD, "--socket", str(socket)], stderr=subprocess.PIPE,
                              env=dict(os.environ, VELMOR_BROKER="off"))
    try:
        deadline = time.monotonic() + 10
        while not socket.exists() and time.monotonic() < deadline:
            time.sleep(0.02)
        assert socket.exists(), "velmord did not listen"
        # The library looks for velmord at every call.
        monkeypatch.setenv("VELMOR_BROKER", str(socket))
        yield socket
    finally:
        daemon.terminate()
        daemon.wait(timeout=10)


def test_a_python_loop_reads_the_unit_velmorctl_moves(velmord):
    velmorlib.initialise()
    mover = subprocess.Popen([VELMORCTL, "on", "1", "move-by", "1", "600", "--wait"],
                             env=dict(os.environ, VELMOR_BROKER=str(velmord)),
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    positions = []
    while mover.poll() is None:
        positions.append(velmorlib.get_absolute_position(1))
        velmorlib.is_motor_ready(1)
    _, errors = mover.communicate(timeout=60)
    assert mover.returncode == 0, errors
    positions.append(velmorlib.get_absolute_position(1))
    assert positions[-1] == 600
    assert positions == sorted(positions), "the loop saw the unit move one way only"
    assert len(set(positions)) > 1, "the loop read the unit while it moved"
