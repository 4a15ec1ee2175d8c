"""The engine that makes the server's library calls: Stop first, units followed by serial."""

import threading

import pytest
import velmorlib

from conftest import wait_for
from helpers import record_calls
from velmortango import engine as engine_module


def test_stop_goes_ahead_of_waiting_requests_and_polls(monkeypatch):
    engine = engine_module.Engine()
    try:
        engine.follow("JXah00101", lambda snapshot: None)
        engine.follow("JXah00102", lambda snapshot: None)
        busy, release = threading.Event(), threading.Event()

        def hold_the_engine(index):
            busy.set()
            release.wait(10)

        callers = [threading.Thread(target=engine.run, args=("JXah00101", hold_the_engine))]
        callers[0].start()
        assert busy.wait(10)
        recording = record_calls(monkeypatch)
        for serial in ("JXah00101", "JXah00102"):
            callers.append(threading.Thread(target=engine.run, args=(serial, velmorlib.motor_on)))
        callers.append(threading.Thread(target=engine.run, args=("JXah00102", velmorlib.stop_motor),
                                        kwargs={"urgent": True}))
        for caller in callers[1:]:
            caller.start()
        wait_for(lambda: len(engine._requests) == 2 and len(engine._stops) == 1, "the requests waiting")
        release.set()
        for caller in callers:
            caller.join(10)
        # the looks at the listing alone left out
        exchanges = [name for name in recording.names() if name not in ("velmorGetUnitState", "velmorWhereIsUnit")]
        assert exchanges[0] == "stopMotor"
        assert exchanges.count("motorOn") == 2
    finally:
        engine.close()


def index_now(engine, serial):
    """The index the engine calls the unit by; None while it is not attached."""
    try:
        return engine.run(serial, lambda index: index)
    except engine_module.UnitUnavailable:
        return None


def test_a_unit_is_followed_to_its_new_index_when_an_earlier_one_goes(emulator_plug):
    engine = engine_module.Engine()
    try:
        snapshots = []
        engine.follow("JXah00102", snapshots.append)
        engine.run("JXah00102", lambda index: (velmorlib.motor_on(index), velmorlib.zero_motor_position(index)))
        engine.run("JXah00102", lambda index: velmorlib.move_motor_relative(index, 25))
        wait_for(lambda: engine.snapshot("JXah00102").state == engine_module.ON, "the move done")
        emulator_plug.unplug(0)  # JXah00101: the followed unit is listed first now
        wait_for(lambda: index_now(engine, "JXah00102") == 1, "the unit found at index 1")
        assert engine.identity("JXah00102").serial_number == "JXah00102"
        assert engine.snapshot("JXah00102").position == 25
        emulator_plug.plug(0)
    finally:
        engine.close()
    assert all(snapshot.state in (engine_module.ON, engine_module.MOVING, engine_module.FAULT)
               for snapshot in snapshots)


def test_a_request_that_spans_a_change_of_units_fails_in_words_and_reaches_no_other_unit(emulator_plug):
    engine = engine_module.Engine()
    try:
        engine.follow("JXah00102", lambda snapshot: None)
        engine.run("JXah00102", lambda index: (velmorlib.motor_on(index), velmorlib.zero_motor_position(index)))
        heard = emulator_plug.requests_heard(2)  # JXbh01001's

        def spanning(index):
            velmorlib.read_motion_settings(index)
            emulator_plug.unplug(0)  # JXah00101: JXbh01001 is listed at the index the request uses
            velmorlib.move_motor_relative(index, 40)

        with pytest.raises(engine_module.UnitUnavailable) as raised:
            engine.run("JXah00102", spanning)
        assert "the attached units changed during the request" in str(raised.value)
        assert "the unit JXah00102 is held here at index 2, now listed at index 1" in str(raised.value)
        assert emulator_plug.requests_heard(2) == heard
        assert index_now(engine, "JXah00102") == 1
        assert engine.snapshot("JXah00102").position == 0
        emulator_plug.plug(0)
    finally:
        engine.close()
