"""Units plugged in and out while a Unit by serial number is in use: each call reaches that unit
wherever it is listed by then, or raises saying why; no other unit ever hears it."""

import collections
import contextlib
import threading

import pytest

import velmorlib
from velmorlib import Unit, VelmorError

A, B, C = 0, 1, 2   # bench positions of JXah00101, JXah00102, JXbh01001: indexes 1, 2, 3 when all are in

Change = collections.namedtuple("Change", "absent unplug plug in_block outside")
# absent: unplugged before JXah00102 is found; unplug and plug: the change, made at one moment.
# in_block, outside: what a move of JXah00102 then gives in a `with` block holding it and outside
# one: None, it moves; or the result code and words of the error's reason.
CHANGES = {
    "a unit before it goes": Change(
        [], [A], [], (3, "the unit JXah00102 is held here at index 2, now listed at index 1"), None),
    "the unit itself goes": Change(
        [], [B], [], (3, "the unit JXah00102 is held here at index 2 and was unplugged"),
        (28, "the unit JXah00102 was unplugged (it is no longer listed)")),
    "a unit after it goes": Change([], [C], [], None, None),
    "a unit comes before it": Change(
        [A], [], [A], (3, "the unit JXah00102 is held here at index 1, now listed at index 2"), None),
    "it goes as another comes to its index": Change(
        [A], [B], [A], (3, "the unit JXah00102 is held here at index 1 and was unplugged"),
        (28, "the unit JXah00102 was unplugged (it is no longer listed)")),
}


def fast_at_zero(unit):
    unit.on()
    unit.set_speed(2000, 0)
    unit.set_acceleration(0)
    unit.zero()


@pytest.mark.parametrize("held", [True, False], ids=["in a block", "outside a block"])
@pytest.mark.parametrize("change", CHANGES.values(), ids=list(CHANGES))
def test_a_move_reaches_the_unit_wherever_it_is_or_raises_and_reaches_it_again_once_back(bench, change, held):
    bench.unplug(*change.absent)
    heard_at_all = bench.listen()
    unit = Unit(serial="JXah00102")
    fast_at_zero(unit)
    moved = 0
    with contextlib.ExitStack() as block:
        if held:
            block.enter_context(unit)
        bench.unplug(*change.unplug)
        bench.plug(*change.plug)
        heard = bench.listen()
        expected = change.in_block if held else change.outside
        if expected is None:
            unit.move_by(30)
            moved += 30
            unit.wait_until_ready(5)
            assert heard() == {B}
        else:
            with pytest.raises(VelmorError) as raised:
                unit.move_by(30)
            assert (raised.value.code, raised.value.reason) == expected
            assert heard() == set()

        bench.plug(*change.unplug)   # the units as they were when the unit was found
        bench.unplug(*change.plug)
        heard = bench.listen()
        unit.move_by(30)
        moved += 30
        unit.wait_until_ready(5)
        assert heard() == {B}
        assert bench.open_handles() == (1 if held else 0)
    assert bench.open_handles() == 0
    assert unit.position() == moved
    assert heard_at_all() == {B}


def test_the_index_of_a_unit_by_serial_is_where_it_is_listed_now(bench):
    unit = Unit(serial="jxah00102")
    assert (unit.index, repr(unit)) == (2, "Unit(2, serial='jxah00102')")
    bench.unplug(A)
    assert unit.index == 1
    with unit:
        bench.plug(A)
        assert unit.index == 1, "in a block: the index it holds"
    assert unit.index == 2
    bench.unplug(B)
    with pytest.raises(VelmorError) as raised:
        unit.index
    assert (raised.value.code, raised.value.reason) == (28, "the unit jxah00102 was unplugged (it is no longer listed)")


def test_a_unit_taken_by_another_program_raises_3_saying_so_and_is_reached_once_free(bench):
    unit = Unit(serial="JXah00101")
    with bench.opened_elsewhere(A):
        heard = bench.listen()
        for attempt in (unit.on, unit.__enter__):
            with pytest.raises(VelmorError) as raised:
                attempt()
            assert (raised.value.code, raised.value.reason) == (3, "the unit is open in another program")
        assert heard() == set()
    with unit:
        unit.on()
    assert bench.open_handles() == 0


def test_a_unit_held_for_another_that_went_is_refused_with_the_held_units_serial(bench):
    bench.unplug(A)
    with Unit(serial="JXah00102"):        # held at index 1
        bench.unplug(B)
        bench.plug(A)                      # JXah00101 is listed at index 1 now
        heard = bench.listen()
        with pytest.raises(VelmorError) as raised:
            Unit(serial="JXah00101").on()
        assert raised.value.code == 3
        assert raised.value.reason == "index 1 is held here for the unit JXah00102, which was unplugged"
        assert heard() == set()
    Unit(serial="JXah00101").on()


def velmor_calls(recorded):
    return [name for name, _ in recorded if name.startswith("velmor") and name != "velmorGetUnitState"]


def test_blocks_and_threads_on_a_unit_by_serial_share_one_hold_released_at_the_last_exit(bench, recorded):
    unit = Unit(serial="JXah00102")
    with unit:
        with Unit(serial="jxah00102") as same, same.held():
            same.status()
        def in_another_thread():
            with unit:
                unit.status()

        worker = threading.Thread(target=in_another_thread)
        worker.start()
        worker.join(10)
        unit.status()
        assert "velmorReleaseUnit" not in velmor_calls(recorded)
        assert bench.open_handles() == 1
    assert velmor_calls(recorded).count("velmorReleaseUnit") == 1
    assert velmor_calls(recorded)[-1] == "velmorReleaseUnit"
    assert bench.open_handles() == 0


def test_a_block_entered_in_one_thread_and_ended_in_another_releases_the_unit(bench):
    with contextlib.ExitStack() as block:
        block.enter_context(Unit(serial="JXah00102"))
        assert velmorlib.get_unit_state(2).held
        ending = threading.Thread(target=block.close)
        ending.start()
        ending.join(10)
    assert not velmorlib.get_unit_state(2).held
    assert bench.open_handles() == 0


LET_GO = {
    "release_all_units": velmorlib.release_all_units,
    "initialise": velmorlib.initialise,
    "release_unit": lambda: velmorlib.release_unit(2),
}


@pytest.mark.parametrize("unit", [lambda: Unit(2), lambda: Unit(serial="JXah00102")], ids=["by index", "by serial"])
@pytest.mark.parametrize("let_go", LET_GO.values(), ids=list(LET_GO))
def test_a_block_whose_hold_was_let_go_raises_instead_of_going_on_unheld(bench, unit, let_go):
    with unit() as held:
        held.on()
        let_go()
        heard = bench.listen()
        with pytest.raises(VelmorError) as raised:
            held.on()
        assert raised.value.code == 3 and "was let go" in raised.value.reason
        assert heard() == set()
        assert bench.open_handles() == 0
    with held:
        held.on()
    assert bench.open_handles() == 0


def test_a_refused_setting_of_a_unit_that_left_during_the_exchange_says_where_it_went_not_another_units_range(
        bench, recording):
    real_set_current = velmorlib.load_library().setMotorCurrent

    def unplugged_during_the_exchange(*arguments):
        bench.unplug(B)   # JXbh01001 (hardware 10.1, up to 500 mA) is listed at index 2 now
        real_set_current(*arguments)  # fails: the held unit has gone
        return velmorlib.VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION

    with Unit(serial="JXah00102") as unit:
        recording.stand_ins["setMotorCurrent"] = unplugged_during_the_exchange
        with pytest.raises(VelmorError) as raised:
            unit.set_current(600, 0)
    assert (raised.value.code, raised.value.reason) == (
        5, "the unit JXah00102 is held here at index 2 and was unplugged")
    assert "velmorExplainRefusal" not in recording.names()
