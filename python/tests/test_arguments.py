"""Arguments are checked against their C types before the call; nothing wraps silently.

Every call here addresses index 0, which the library refuses (VelmorError 1, or 21 where it
checks an argument first): a bad argument that slipped through to C would show as that error,
and as a recorded call.
"""

import math

import pytest

import velmorlib
from velmorlib import Unit

INT32_MIN, INT32_MAX, UINT32_MAX = -2 ** 31, 2 ** 31 - 1, 2 ** 32 - 1

BAD_ARGUMENTS = [
    # function, arguments, exception, the parameter the message names
    (velmorlib.motor_on, (1.0,), TypeError, "device_index"),
    (velmorlib.motor_on, ("1",), TypeError, "device_index"),
    (velmorlib.motor_on, (None,), TypeError, "device_index"),
    (velmorlib.motor_on, (True,), TypeError, "device_index"),
    (velmorlib.motor_off, (INT32_MAX + 1,), ValueError, "device_index"),
    (velmorlib.stop_motor, (INT32_MIN - 1,), ValueError, "device_index"),
    (velmorlib.get_absolute_position, (2 ** 32 + 1,), ValueError, "device_index"),
    (velmorlib.move_motor_relative, (0, INT32_MAX + 1), ValueError, "steps"),
    (velmorlib.move_motor_absolute, (0, 1.5), TypeError, "position"),
    (velmorlib.set_motor_speed, (0, 100, False), TypeError, "step_mode"),
    (velmorlib.set_motor_acceleration, (0, INT32_MIN - 1), ValueError, "acceleration"),
    (velmorlib.set_motor_current, (0, 1000, 256), ValueError, "current_flag"),
    (velmorlib.set_motor_current, (0, 1000, -1), ValueError, "current_flag"),
    (velmorlib.set_motor_current, (0, 1000, 1.0), TypeError, "current_flag"),
    (velmorlib.set_backlash_compensation, (0, 1, -1, 5), ValueError, "direction"),
    (velmorlib.set_backlash_compensation, (0, 1, UINT32_MAX + 1, 5), ValueError, "direction"),
    (velmorlib.set_backlash_compensation, (0, 1, 0, INT32_MAX + 1), ValueError, "amount"),
    (velmorlib.set_home_settings, (0, 0, 0, 0, -1, 0), ValueError, "home_value_a"),
    (velmorlib.set_home_settings, (0, 0, 0, 0, 0, UINT32_MAX + 1), ValueError, "home_value_b"),
    (velmorlib.set_home_settings, (0, 0, 0, "1", 0, 0), TypeError, "home_flag_a"),
    (velmorlib.set_home_settings, (0, 0, 300, 0, 0, 0), ValueError, "home_flag_b"),
    (velmorlib.set_limit_switches, (0, 1, -1, 2, 1), ValueError, "type1"),
    (velmorlib.set_limit_switches, (0, 1, 1, INT32_MAX + 1, 1), ValueError, "input2"),
    (velmorlib.set_limit_switches, (0, 1, 1, 2, True), TypeError, "type2"),
    (velmorlib.set_pwm, (0, None), TypeError, "value"),
    (velmorlib.set_relay, (0, 256), ValueError, "on"),
    (velmorlib.set_relay, (0, "on"), TypeError, "on"),
    (velmorlib.get_device_index, (None,), TypeError, "serial_number"),
    (velmorlib.get_device_index, (102,), TypeError, "serial_number"),
    (velmorlib.get_device_index, ("JXah\0" "00102",), ValueError, "serial_number"),
    (velmorlib.get_device_index, (b"JXah00102\0",), ValueError, "serial_number"),
    (velmorlib.get_device_index, ("JXah0010\u20ac",), ValueError, "serial_number"),
    (velmorlib.where_is_unit, (None,), TypeError, "serial_number"),
    (velmorlib.hold_unit_by_serial, (b"JXah00102\0",), ValueError, "serial_number"),
    (velmorlib.get_unit_state, ("1",), TypeError, "device_index"),
    (velmorlib.get_unit_state, (INT32_MAX + 1,), ValueError, "device_index"),
    (velmorlib.explain_refusal, ("1", "setPWM", 1), TypeError, "device_index"),
    (velmorlib.explain_refusal, (1, b"setPWM", 1), TypeError, "function"),
    (velmorlib.explain_refusal, (1, "setPWM\0", 1), ValueError, "function"),
    (velmorlib.explain_refusal, (1, "setPWM", 1.0), TypeError, "argument 1"),
    (velmorlib.explain_refusal, (1, "setMotorCurrent", 100, 2 ** 63), ValueError, "argument 2"),
    (velmorlib.chip_name, ("5",), TypeError, "chip_type"),
    (velmorlib.chip_name, (-1,), ValueError, "chip_type"),
    (velmorlib.chip_name, (UINT32_MAX + 1,), ValueError, "chip_type"),
    (Unit, (1.0,), TypeError, "index"),
    (Unit, (INT32_MAX + 1,), ValueError, "index"),
    (Unit, (), TypeError, "serial"),
    (lambda: Unit(1, serial="JXah00102"), (), TypeError, "serial"),
    (lambda: Unit(serial=b"JX\0"), (), ValueError, "serial_number"),
    (lambda: Unit(0).move_by(0.5), (), TypeError, "steps"),
    (lambda: Unit(0).set_home_settings(0, 0, 0, 10, -10), (), ValueError, "home_value_b"),
    (lambda: Unit(0).wait_until_ready(-1), (), ValueError, "timeout"),
    (lambda: Unit(0).wait_until_ready(math.nan), (), ValueError, "timeout"),
    (lambda: Unit(0).wait_until_ready("1"), (), TypeError, "timeout"),
    (lambda: Unit(0).wait_until_ready(1, poll_interval=None), (), TypeError, "poll_interval"),
]


@pytest.mark.parametrize("function, arguments, exception, parameter", BAD_ARGUMENTS)
def test_a_bad_argument_raises_before_any_call(initialised, recorded, function, arguments, exception, parameter):
    with pytest.raises(exception, match=parameter):
        function(*arguments)
    assert recorded == []


ACCEPTED_ARGUMENTS = [
    # function, arguments, the export and the values it receives
    (velmorlib.motor_on, (INT32_MIN,), "motorOn", (INT32_MIN,)),
    (velmorlib.motor_on, (INT32_MAX,), "motorOn", (INT32_MAX,)),
    (velmorlib.move_motor_relative, (0, INT32_MIN), "moveMotorRelative", (0, INT32_MIN)),
    (velmorlib.move_motor_absolute, (0, INT32_MAX), "moveMotorAbsolute", (0, INT32_MAX)),
    (velmorlib.move_motor_absolute, (0, velmorlib.VELMOR_ERROR_NO_RELAY), "moveMotorAbsolute", (0, 32)),
    (velmorlib.set_motor_current, (0, 0, 255), "setMotorCurrent", (0, 0, 255)),
    (velmorlib.set_motor_current, (0, 5, True), "setMotorCurrent", (0, 5, 1)),
    (velmorlib.set_backlash_compensation, (0, False, UINT32_MAX, INT32_MIN),
     "setBacklashCompensation", (0, 0, UINT32_MAX, INT32_MIN)),
    (velmorlib.set_home_settings, (0, UINT32_MAX, 255, 0, UINT32_MAX, 0),
     "setHomeSettings", (0, UINT32_MAX, 255, 0, UINT32_MAX, 0)),
    (velmorlib.set_limit_switches, (0, INT32_MIN, UINT32_MAX, INT32_MAX, 0),
     "setLimitSwitches", (0, INT32_MIN, UINT32_MAX, INT32_MAX, 0)),
    (velmorlib.set_relay, (0, True), "setRelay", (0, 1)),
    (lambda: Unit(0).set_speed(INT32_MAX, INT32_MIN), (), "setMotorSpeed", (0, INT32_MAX, INT32_MIN)),
]


@pytest.mark.parametrize("function, arguments, export, values", ACCEPTED_ARGUMENTS)
def test_values_at_the_edges_of_their_c_types_reach_c_unchanged(initialised, recorded, function, arguments,
                                                                export, values):
    with pytest.raises(velmorlib.VelmorError) as error:
        function(*arguments)
    # the library refuses the index, or first an argument of its own range
    assert error.value.code in (velmorlib.VELMOR_ERROR_DEVICE_INDEX, velmorlib.VELMOR_ERROR_ARGUMENT)
    assert error.value.function == export
    assert recorded == [(export, values)]
    assert all(type(value) is int for value in recorded[0][1])


@pytest.mark.parametrize("serial, sent", [
    ("JXah00102", b"JXah00102"),
    ("JXah0010\u00e9", b"JXah0010\xe9"),  # Latin-1, as the library reads the text
    (bytearray(b"jxah00102"), b"jxah00102"),
    ("", b""),
])
def test_serial_numbers_are_sent_as_latin_1_or_as_given(recorded, serial, sent):
    try:
        velmorlib.get_device_index(serial)
    except velmorlib.VelmorError:
        pass
    assert [(name, arguments[0]) for name, arguments in recorded] == [("getDeviceIndex", sent)]


def test_the_arguments_of_an_explanation_reach_c_as_64_bit_values_unchanged():
    assert velmorlib.explain_refusal(2, "setHomeSettings", 2 ** 63 - 1, True, False, -2 ** 63, 0) == (
        "direction 9223372036854775807 is neither 0 nor 1; home value A -9223372036854775808 is below 0")
