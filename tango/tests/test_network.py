"""The server as a process of its own without a database, and three clients at once."""

import json
import os
import subprocess
import sys
import time

import pytest
import tango

from conftest import SERVER, TESTS_FOLDER, free_port

CLIENTS = os.path.join(TESTS_FOLDER, "clients.py")


def start_server():
    """The server on a free port, serving every unit of the bench; (process, port) once it answers."""
    for _ in range(3):  # another program may take the port between the probe and the server's bind
        port = free_port()
        server = subprocess.Popen([sys.executable, SERVER, "velmor", "-nodb", "-ORBendPoint",
                                   "giop:tcp:127.0.0.1:{}".format(port)],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        deadline = time.monotonic() + 30
        while server.poll() is None and time.monotonic() < deadline:
            try:
                tango.DeviceProxy(device_url(port, 4)).ping()
                return server, port
            except tango.DevFailed:
                time.sleep(0.2)
        stop(server)
    pytest.fail("the server did not start: {}".format(server.stderr.read()))


def stop(process):
    process.terminate()
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def device_url(port, unit):
    return "tango://127.0.0.1:{}/velmor/motor/{}#dbase=no".format(port, unit)


def client(role, url):
    return subprocess.Popen([sys.executable, CLIENTS, role, url], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)


def result_of(process):
    out, err = process.communicate(timeout=60)
    assert process.returncode == 0, err
    return json.loads(out.splitlines()[-1])


def test_three_clients_at_once_one_moving_two_reading_and_following_events():
    server, port = start_server()
    try:
        url = device_url(port, 2)
        assert tango.DeviceProxy(url).SerialNumber == "JXah00102"  # velmor/motor/N is unit N at the start
        watchers = [client("watcher", url) for _ in range(2)]
        for watcher in watchers:
            assert watcher.stdout.readline().strip() == "subscribed", watcher.stderr.read()
        moved = result_of(client("mover", url))
        for watcher in watchers:
            watcher.stdin.write("done\n")
            watcher.stdin.flush()
        watched = [result_of(watcher) for watcher in watchers]
        assert server.poll() is None
    finally:
        stop(server)

    for stream in watched:
        assert stream["reads"] > 0
        for events in (stream["positions"], stream["states"]):
            assert [event for event in events if "error" in event] == []
            times = [event["time"] for event in events]
            assert times == sorted(times)
        positions = [event["value"] for event in stream["positions"]]
        assert positions[-1] == moved["final"]
        assert all(-120 <= position <= 400 for position in positions)
        assert len(positions) > 2 * moved["moves"]
        states = [event["value"] for event in stream["states"]]
        changes = [state for position, state in enumerate(states) if position == 0 or state != states[position - 1]]
        assert changes[-1] == "ON" and changes.count("MOVING") == moved["moves"]
