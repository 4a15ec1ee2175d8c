"""Units unplugged and plugged in while served, and units busy in another program, with the server
in this process."""

import contextlib
import time

import pytest
import tango
import velmorlib

from conftest import Events, fast_and_at_zero, served, served_together, wait_for, wait_for_state

FIRST_UNIT = 0   # JXah00101, first on the bench
SECOND_UNIT = 1  # JXah00102, second on the bench


def test_an_unplugged_unit_is_a_fault_until_it_is_plugged_in_again(emulator_plug):
    with served("JXah00102") as proxy:
        fast_and_at_zero(proxy)
        proxy.MoveRelative(60)
        wait_for_state(proxy, tango.DevState.ON)
        states = Events(proxy, "State")

        emulator_plug.unplug(SECOND_UNIT)  # the third unit now has the index this one had
        wait_for_state(proxy, tango.DevState.FAULT)
        time.sleep(0.3)  # polls of the index would find the third unit, ready
        assert proxy.state() == tango.DevState.FAULT
        assert "no supported unit has this serial number" in proxy.status()
        for call in (proxy.On, lambda: proxy.MoveRelative(5), lambda: proxy.Speed):
            try:
                call()
                raise AssertionError("a call on an unplugged unit went through")
            except tango.DevFailed as failure:
                assert failure.args[0].reason in ("VELMOR_UNIT_UNAVAILABLE", "VELMOR_ERROR_DEVICE_INDEX")

        emulator_plug.plug(SECOND_UNIT)
        wait_for_state(proxy, tango.DevState.ON)
        assert proxy.Position == 60
        proxy.MoveRelative(-60)
        wait_for_state(proxy, tango.DevState.ON)
        assert proxy.Position == 0
        wait_for(lambda: states.received[-1:] == [tango.DevState.ON], "the state event back to ON")
        states.close()
        assert states.changes()[:3] == [tango.DevState.ON, tango.DevState.FAULT, tango.DevState.ON]


def test_a_unit_unplugged_as_another_comes_to_its_index_is_never_taken_for_it(emulator_plug):
    velmorlib.initialise()
    velmorlib.motor_on(1)  # JXah00101 would take a move
    emulator_plug.unplug(FIRST_UNIT)  # JXah00102 is listed at index 1
    with served_together({"velmor/motor/a": "JXah00101", "velmor/motor/b": "JXah00102"}) as proxies:
        first, second = proxies["velmor/motor/a"], proxies["velmor/motor/b"]
        assert first.state() == tango.DevState.FAULT
        fast_and_at_zero(second)
        second.MoveRelative(77)
        wait_for_state(second, tango.DevState.ON)
        positions = Events(second, "Position")

        emulator_plug.unplug(SECOND_UNIT)  # as many units as before: JXah00101 at index 1 instead
        emulator_plug.plug(FIRST_UNIT)
        with pytest.raises(tango.DevFailed) as failure:
            second.MoveRelative(-40)
        assert failure.value.args[0].reason == "VELMOR_UNIT_UNAVAILABLE"
        assert "no supported unit has this serial number" in second.status()
        wait_for_state(first, tango.DevState.ON)
        assert (first.SerialNumber, first.Position) == ("JXah00101", 0)

        emulator_plug.plug(SECOND_UNIT)
        wait_for_state(second, tango.DevState.ON)
        assert (second.SerialNumber, second.Position, first.Position) == ("JXah00102", 77, 0)
        positions.close()
        assert None not in positions.received and set(positions.received) == {77}


def served_once_it_is_there(unavailable, words):
    """A device started while its unit JXah00101 is unavailable (the context unavailable holds) is
    a fault in words, and serves the unit by itself once the context ends."""
    with unavailable, served("JXah00101") as proxy:
        assert proxy.state() == tango.DevState.FAULT
        assert words in proxy.status()
        with pytest.raises(tango.DevFailed) as failure:
            proxy.On()
        assert failure.value.args[0].reason == "VELMOR_UNIT_UNAVAILABLE"
        unavailable.close()
        wait_for(lambda: proxy.state() in (tango.DevState.ON, tango.DevState.OFF), "the unit served")
        proxy.On()
        assert (proxy.state(), proxy.SerialNumber) == (tango.DevState.ON, "JXah00101")


# One server a process: each case is a test function of its own.
def test_a_device_whose_unit_was_unplugged_at_its_start_serves_it_once_it_is_plugged_in(emulator_plug):
    unavailable = contextlib.ExitStack()
    emulator_plug.unplug(FIRST_UNIT)
    unavailable.callback(emulator_plug.plug, FIRST_UNIT)
    served_once_it_is_there(unavailable, "no supported unit has this serial number")


def test_a_device_whose_unit_was_busy_at_its_start_serves_it_once_the_other_program_lets_go(emulator_plug):
    unavailable = contextlib.ExitStack()
    unavailable.enter_context(emulator_plug.opened_elsewhere("JXah00101"))
    served_once_it_is_there(unavailable, "opening the unit failed: the unit is open in another program")
