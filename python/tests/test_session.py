"""A session of calls on the emulated bench, through the functions and through Unit."""

import pytest

import velmorlib
from velmorlib import Unit


@pytest.fixture
def unit(initialised):
    """Unit 2 (hardware 1.2, firmware 3.0), switched on, fast and without a ramp, at position 0."""
    unit = Unit(2)
    unit.on()
    unit.set_speed(2000, 0)
    unit.set_acceleration(0)
    unit.zero()
    return unit


def test_count_works_before_and_after_initialise():
    assert velmorlib.get_device_count() == 3
    velmorlib.initialise()
    assert velmorlib.get_device_count() == 3


def test_moves_and_positions_through_the_functions(initialised):
    velmorlib.motor_on(1)
    velmorlib.set_motor_speed(1, 2000, 0)
    velmorlib.set_motor_acceleration(1, 0)
    velmorlib.zero_motor_position(1)
    assert velmorlib.get_absolute_position(1) == 0
    velmorlib.move_motor_relative(1, 60)
    Unit(1).wait_until_ready(5)
    assert velmorlib.is_motor_ready(1) is True
    assert velmorlib.get_absolute_position(1) == 60
    velmorlib.move_motor_absolute(1, -25)
    Unit(1).wait_until_ready(5)
    assert velmorlib.get_absolute_position(1) == -25


def test_moves_home_and_stop_through_a_unit(unit):
    unit.move_to(80)
    unit.wait_until_ready(5)
    unit.move_by(-30)
    unit.wait_until_ready(5)
    assert unit.position() == 50
    unit.home()
    unit.wait_until_ready(5)
    assert unit.position() == 0
    unit.move_by(10)
    unit.stop()
    unit.wait_until_ready(5)
    assert unit.is_ready()


def test_settings_are_taken(unit):
    unit.set_current(1200, True)
    unit.set_backlash(True, 1, 5)
    unit.set_home_settings(0, 1, 0, 100, 200)
    unit.set_limit_switches(1, 3, 2, 6)
    unit.set_pwm(20)
    unit.set_pwm_step_mode()
    unit.set_relay(True)
    unit.set_relay(False)
    velmorlib.set_motor_speed(unit.index, 800, 4)


def test_a_slow_move_outlasts_a_short_wait_and_stops(unit):
    unit.set_speed(10, 0)
    unit.move_by(1000)
    assert not unit.is_ready()
    with pytest.raises(TimeoutError, match="unit 2"):
        unit.wait_until_ready(0.2)
    unit.stop()
    unit.wait_until_ready(5)
    assert 0 < unit.position() < 1000


def test_off_and_on_again(unit):
    unit.off()
    with pytest.raises(velmorlib.VelmorError) as error:
        unit.move_by(10)
    assert error.value.code == velmorlib.VELMOR_ERROR_NOT_READY_OFF
    assert error.value.text == "the motor is not ready (state 0)"
    unit.on()
    unit.move_by(10)
    unit.wait_until_ready(5)
    assert unit.position() == 10
