"""Client programs of the end-to-end test, each run as a process of its own.

    clients.py mover DEVICE_URL      moves the unit back and forth; prints the final position
    clients.py watcher DEVICE_URL    reads and follows change events until a line comes on stdin

Each prints one JSON object on stdout; a failed call ends the program with its error.
"""

import json
import sys
import threading
import time

import tango

# Every move lasts 100 ms or more at 2000 steps/s, so the poll after its command finds it under way
# even on a loaded machine, and each shows as one MOVING.
MOVES = [400, 0, 250, -100, 320]


def wait_until_on(proxy, timeout=20.0):
    deadline = time.monotonic() + timeout
    while proxy.state() != tango.DevState.ON:
        if time.monotonic() > deadline:
            raise TimeoutError("{} not ON: {}".format(proxy.dev_name(), proxy.status()))
        time.sleep(0.01)


def mover(url):
    proxy = tango.DeviceProxy(url)
    proxy.On()
    proxy.StepMode = 0
    proxy.Speed = 2000
    proxy.Acceleration = 0
    for target in MOVES:
        proxy.Position = target
        wait_until_on(proxy)
    proxy.MoveRelative(-200)
    wait_until_on(proxy)
    return {"final": proxy.Position, "moves": len(MOVES) + 1}


def watcher(url):
    proxy = tango.DeviceProxy(url)
    positions, states, lock = [], [], threading.Lock()

    def collect(into):
        def push(event):
            with lock:
                into.append({"error": str(event.errors[0].desc)} if event.err else
                            {"value": event.attr_value.value if into is positions else str(event.attr_value.value),
                             "time": event.attr_value.time.totime()})
        return push

    subscriptions = [proxy.subscribe_event("Position", tango.EventType.CHANGE_EVENT, collect(positions)),
                     proxy.subscribe_event("State", tango.EventType.CHANGE_EVENT, collect(states))]
    print("subscribed", flush=True)
    stop, reads, failures = threading.Event(), [0], []

    def read_until_stopped():
        try:
            while not stop.is_set():
                for value in proxy.read_attributes(["Position", "Ready", "Speed", "Current", "SerialNumber"]):
                    if value.has_failed:
                        raise RuntimeError("reading {} failed".format(value.name))
                proxy.state()
                proxy.status()
                reads[0] += 1
        except Exception as error:  # handed to the main thread
            failures.append(error)

    reader = threading.Thread(target=read_until_stopped)
    reader.start()
    sys.stdin.readline()
    stop.set()
    reader.join()
    if failures:
        raise failures[0]
    time.sleep(0.5)  # the last events on their way
    for subscription in subscriptions:
        proxy.unsubscribe_event(subscription)
    with lock:
        return {"positions": positions, "states": states, "reads": reads[0]}


if __name__ == "__main__":
    print(json.dumps({"mover": mover, "watcher": watcher}[sys.argv[1]](sys.argv[2])), flush=True)
