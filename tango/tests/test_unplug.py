"""A unit unplugged while served, and plugged in again, with the server in this process."""

import time

import tango

from conftest import Events, fast_and_at_zero, served, wait_for, wait_for_state

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
