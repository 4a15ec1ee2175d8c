"""Moves, stops and the motor's state, with the change events a client sees."""

import time

import tango

from conftest import Events, fast_and_at_zero, served, wait_for, wait_for_state

ON, OFF, MOVING = tango.DevState.ON, tango.DevState.OFF, tango.DevState.MOVING


def test_motor_on_and_off_are_the_states_on_and_off():
    with served("JXah00102") as proxy:
        proxy.Off()
        assert (proxy.state(), proxy.Ready) == (OFF, False)
        assert "the motor is off" in proxy.status()
        proxy.On()
        assert (proxy.state(), proxy.Ready) == (ON, True)
        assert "ready at position" in proxy.status()


def test_moves_end_where_asked_and_every_event_comes_in_order():
    with served("JXah00102") as proxy:
        fast_and_at_zero(proxy)
        positions, states = Events(proxy, "Position"), Events(proxy, "State")
        for start, target in [(lambda: setattr(proxy, "Position", 300), 300),
                              (lambda: proxy.MoveRelative(-120), 180),
                              (lambda: proxy.Home(), 0)]:
            start()
            assert proxy.state() == MOVING  # the command's effect shows when it returns
            wait_for_state(proxy, ON)
            assert proxy.Position == target
        proxy.MoveRelative(40)
        wait_for_state(proxy, ON)
        proxy.Zero()
        assert proxy.Position == 0
        wait_for(lambda: positions.received[-1:] == [0], "the last position event at 0")
        positions.close()
        states.close()
        assert None not in positions.received and None not in states.received
        climb = positions.received[:positions.received.index(300) + 1]
        assert climb[0] == 0 and len(climb) > 2 and climb == sorted(set(climb))  # toward 300, none repeated
        assert positions.received[-2:] == [40, 0]
        assert states.changes() == [ON] + [MOVING, ON] * 4


def test_stop_ends_a_move_short_of_its_target():
    with served("JXah00101") as proxy:
        fast_and_at_zero(proxy)
        proxy.Speed = 200
        proxy.MoveRelative(100000)
        wait_for(lambda: proxy.Position > 0, "the move under way")
        proxy.Stop()
        wait_for_state(proxy, ON)
        stopped = proxy.Position
        assert 0 < stopped < 100000
        time.sleep(0.2)
        assert proxy.Position == stopped


# The ready byte the unit reports, the state, and words in Status.
READY_BYTES = [
    (5, tango.DevState.ALARM, "the motor is not ready (state 5)"),
    (4, tango.DevState.ALARM, "the motor is not ready (state 4)"),
    (9, tango.DevState.ALARM, "the motor is not ready (another state)"),
    (0, OFF, "the motor is off"),
    (2, MOVING, "moving"),
    (None, ON, "ready at position"),
]


def test_each_ready_byte_is_a_state_in_words(emulator_plug):
    with served("JXah00101") as proxy:
        proxy.On()
        for ready_byte, state, words in READY_BYTES:
            emulator_plug.force_ready_byte(0, ready_byte)
            wait_for(lambda: proxy.state() == state and words in proxy.status(),
                     "{} and {!r} for ready byte {}".format(state, words, ready_byte))
