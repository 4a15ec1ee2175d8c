#!/usr/bin/python3
"""Change events a client gets from the Tango device server with four units moving.

    /usr/bin/python3 bench/tango_event_rate.py [BUILD_DIR] [SECONDS]

Starts tango/VelmorTango with -nodb on a bench of four emulated units (a bench of its own, not
the state file's), sets every unit moving at 2000 steps/s, so that each poll finds a new
position, and counts the Position change events one client receives from each device over
SECONDS (default 5). Runs once at the server's default poll period and once with
VELMOR_TANGO_POLL_MS=0 (polls without pause), and prints the events a second of each unit.
"""

import os
import socket
import subprocess
import sys
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(SOURCE, "python"))

import tango  # noqa: E402

BENCH = "FT232R:JXah00101:2.0;FT232R:JXah00102:3.0;XSERIES:JXbh01001:1.0;XSERIES:JXah02701:1.2"
UNITS = 4


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start_server(build, poll_ms):
    port = free_port()
    env = dict(os.environ, VELMORLIB_LIBRARY=os.path.join(build, "src", "libVelmorLib.so"),
               VELMOR_EMULATOR_STATE="off", VELMOR_EMULATOR_BENCH=BENCH)
    if poll_ms is not None:
        env["VELMOR_TANGO_POLL_MS"] = str(poll_ms)
    server = subprocess.Popen([sys.executable, os.path.join(SOURCE, "tango", "VelmorTango"), "velmor", "-nodb",
                               "-ORBendPoint", "giop:tcp:127.0.0.1:{}".format(port)],
                              env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        try:
            tango.DeviceProxy(url(port, UNITS)).ping()
            return server, port
        except tango.DevFailed:
            time.sleep(0.2)
    server.kill()
    raise SystemExit("the server did not start")


def url(port, unit):
    return "tango://127.0.0.1:{}/velmor/motor/{}#dbase=no".format(port, unit)


def measure(build, poll_ms, seconds):
    server, port = start_server(build, poll_ms)
    try:
        proxies = [tango.DeviceProxy(url(port, unit)) for unit in range(1, UNITS + 1)]
        counts = [0] * UNITS
        counting = [False]

        def counter(unit):
            def push(event):
                if counting[0] and not event.err:
                    counts[unit] += 1
            return push

        for proxy in proxies:
            proxy.On()
            proxy.StepMode = 0
            proxy.Speed = 2000
            proxy.Acceleration = 0
        subscriptions = [proxy.subscribe_event("Position", tango.EventType.CHANGE_EVENT, counter(unit))
                         for unit, proxy in enumerate(proxies)]
        for proxy in proxies:
            proxy.MoveRelative(1000000)
        time.sleep(0.5)
        counting[0] = True
        time.sleep(seconds)
        counting[0] = False
        for proxy in proxies:
            proxy.Stop()
        for proxy, subscription in zip(proxies, subscriptions):
            proxy.unsubscribe_event(subscription)
        return [count / seconds for count in counts]
    finally:
        server.terminate()
        server.wait()


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build"))
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 5.0
    for label, poll_ms in (("default poll period (40 ms)", None), ("VELMOR_TANGO_POLL_MS=0", 0)):
        rates = measure(build, poll_ms, seconds)
        print("{}: Position change events a second of each unit, four units moving: {} (least {:.1f}, "
              "all {:.1f})".format(label, ", ".join("{:.1f}".format(rate) for rate in rates), min(rates), sum(rates)))
    print("{}, {}, {} cores, load average{}".format(
        os.uname().nodename, time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()), os.cpu_count(),
        subprocess.run(["uptime"], capture_output=True, text=True).stdout.split("load average")[1].strip()))


if __name__ == "__main__":
    main()
