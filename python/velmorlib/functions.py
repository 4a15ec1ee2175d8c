"""The 21 exports as Python functions.

Each is named after its C export in snake_case, checks its arguments before calling into C
(TypeError or ValueError; nothing is called then), returns its out-parameter if it has one,
and raises VelmorError for a result code other than 0. docs/reference.md tells, export by
export, what each code means and how long a call takes.
"""

import ctypes
from typing import Optional, Tuple, Union

from . import _checks
from . import _library
from . import _pins
from . import companion
from .codes import (
    VELMOR_ERROR_ARGUMENT,
    VELMOR_ERROR_SET_PWM_FAILED,
    VELMOR_ERROR_WRITE_BACKLASH,
    VELMOR_ERROR_WRITE_HOME_SETTINGS,
    VELMOR_ERROR_WRITE_INPUT_CONFIGURATION,
    VELMOR_ERROR_WRITE_MOTION_CONFIGURATION,
    VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION,
)
from .errors import VelmorError


def _call(name: str, *arguments: object) -> None:
    code = getattr(_library.load_library(), name)(*arguments)
    if code != 0:
        unit = arguments[0] if arguments and isinstance(arguments[0], int) else None
        raise VelmorError(code, name, device_index=unit)


# What a settings export returns when the unit, or the library by the unit's range, refused a value.
_REFUSED = (VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION, VELMOR_ERROR_WRITE_MOTION_CONFIGURATION,
            VELMOR_ERROR_SET_PWM_FAILED, VELMOR_ERROR_ARGUMENT, VELMOR_ERROR_WRITE_INPUT_CONFIGURATION,
            VELMOR_ERROR_WRITE_BACKLASH, VELMOR_ERROR_WRITE_HOME_SETTINGS)


def _refusal(code: int, name: str, device_index: int, values: Tuple[int, ...]) -> Optional[str]:
    """Which value the unit refused and its range, in the library's words; None when every value
    is within the range, or when the unit that refused is not the one listed at the index now."""
    if code not in _REFUSED or not 1 <= device_index <= 99:
        return None
    state = companion.unit_state_or_none(device_index)
    if state is not None and state.held and state.held_unit_away:
        return None  # it left during the exchange: the range of the unit there now says nothing
    try:
        return companion.explain_refusal(device_index, name, *values) or None
    except VelmorError:
        return None


def _set(name: str, device_index: int, *values: int) -> None:
    """A settings export: a refusal carries the library's explanation as the error's reason."""
    code = getattr(_library.load_library(), name)(device_index, *values)
    if code != 0:
        raise VelmorError(code, name, device_index=device_index,
                          reason=_refusal(code, name, device_index, values))


def _index(device_index: int) -> int:
    return _checks.int32("device_index", device_index)


def initialise() -> None:
    """Prepare the library; every later first use of an index runs its start-up handshake again.

    Also lets go of every held unit (the ``with`` blocks of Units holding one raise from then on).
    Touches no unit and returns at once.
    """
    _pins.let_go_all(lambda: _call("initialise"))


def get_device_count() -> int:
    """The number of attached supported units (works before initialise; opens no unit)."""
    count = ctypes.c_int32()
    _call("getDeviceCount", ctypes.byref(count))
    return count.value


def get_device_index(serial_number: Union[str, bytes]) -> int:
    """The 1-based index of the unit with this serial number, ignoring case.

    serial_number is str (sent as Latin-1) or bytes; raises VelmorError 28 when no unit has it.
    It is the serial number stored in the unit's information page, so every unit is opened in
    turn until one matches.
    """
    data = _checks.serial_number(serial_number)
    index = ctypes.c_int32()
    _call("getDeviceIndex", data, ctypes.byref(index))
    return index.value


def motor_on(device_index: int) -> None:
    """Switch the motor of the unit at device_index on (VelmorError 9 when the unit refuses)."""
    _call("motorOn", _index(device_index))


def motor_off(device_index: int) -> None:
    """Switch the motor of the unit at device_index off (VelmorError 10 when the unit refuses)."""
    _call("motorOff", _index(device_index))


def stop_motor(device_index: int) -> None:
    """Stop the motor of the unit at device_index (VelmorError 11 when the unit refuses)."""
    _call("stopMotor", _index(device_index))


def zero_motor_position(device_index: int) -> None:
    """Set the position counter of the unit at device_index to 0 (VelmorError 25 on refusal)."""
    _call("zeroMotorPosition", _index(device_index))


def move_motor_absolute(device_index: int, position: int) -> None:
    """Start a move to a position in whole full steps; returns once the unit took the order.

    VelmorError 15, 16, 18, 19 or 20 when the motor is not ready, 8 when the unit refuses.
    """
    _call("moveMotorAbsolute", _index(device_index), _checks.int32("position", position))


def move_motor_relative(device_index: int, steps: int) -> None:
    """Start a move by a number of whole full steps (negative: the other way).

    0 steps returns at once without calling the unit. VelmorError 15, 16, 18, 19 or 20 when
    the motor is not ready, 8 when the unit refuses.
    """
    _call("moveMotorRelative", _index(device_index), _checks.int32("steps", steps))


def move_motor_home(device_index: int) -> None:
    """Start the move to the home position (VelmorError 15 to 20 when not ready, 8 on refusal)."""
    _call("moveMotorHome", _index(device_index))


def get_absolute_position(device_index: int) -> int:
    """The position in whole full steps, truncated toward zero."""
    position = ctypes.c_int32()
    _call("getAbsolutePosition", _index(device_index), ctypes.byref(position))
    return position.value


def is_motor_ready(device_index: int) -> bool:
    """True when the unit reports its motor ready (ready byte 1): not while it moves or is off."""
    ready = ctypes.c_uint8()
    _call("isMotorReady", _index(device_index), ctypes.byref(ready))
    return ready.value == 1


def set_motor_speed(device_index: int, speed: int, step_mode: int) -> None:
    """speed in steps per second; the step rate is speed times 2 to the power step_mode.

    VelmorError 7 when the unit refuses the values (see get_limits for what it accepts).
    """
    _set("setMotorSpeed", _index(device_index), _checks.int32("speed", speed),
          _checks.int32("step_mode", step_mode))


def set_motor_acceleration(device_index: int, acceleration: int) -> None:
    """acceleration in steps per second squared; 0 turns the ramp off (VelmorError 7 on refusal)."""
    _set("setMotorAcceleration", _index(device_index), _checks.int32("acceleration", acceleration))


def set_motor_current(device_index: int, current: int, current_flag: Union[int, bool]) -> None:
    """current in milliamperes (VelmorError 5 outside the unit's range, see get_limits)."""
    _set("setMotorCurrent", _index(device_index), _checks.int32("current", current),
          _checks.flag("current_flag", current_flag))


def set_backlash_compensation(device_index: int, enabled: Union[int, bool], direction: int, amount: int) -> None:
    """direction 0 or 1 (else VelmorError 21); amount in steps."""
    _set("setBacklashCompensation", _index(device_index), _checks.flag("enabled", enabled),
          _checks.uint32("direction", direction), _checks.int32("amount", amount))


def set_home_settings(device_index: int, direction: int, home_flag_b: Union[int, bool],
                      home_flag_a: Union[int, bool], home_value_a: int, home_value_b: int) -> None:
    """direction 0 or 1; home_value_a and home_value_b at most 10000 (else VelmorError 21)."""
    _set("setHomeSettings", _index(device_index), _checks.uint32("direction", direction),
          _checks.flag("home_flag_b", home_flag_b), _checks.flag("home_flag_a", home_flag_a),
          _checks.uint32("home_value_a", home_value_a), _checks.uint32("home_value_b", home_value_b))


def set_limit_switches(device_index: int, input1: int, type1: int, input2: int, type2: int) -> None:
    """Input channels 1 to 4 (1 to 8 on hardware 27.1); types 0 (not used) to 6 (else VelmorError 21)."""
    _set("setLimitSwitches", _index(device_index), _checks.int32("input1", input1),
          _checks.uint32("type1", type1), _checks.int32("input2", input2), _checks.uint32("type2", type2))


def set_pwm(device_index: int, value: int) -> None:
    """Set the PWM output value; values above the unit's limit are held at it (VelmorError 13 below 0)."""
    _set("setPWM", _index(device_index), _checks.int32("value", value))


def set_pwm_step_mode(device_index: int) -> None:
    """Switch the PWM output to step mode (VelmorError 33 when the unit refuses)."""
    _call("setPWMStepMode", _index(device_index))


def set_relay(device_index: int, on: Union[int, bool]) -> None:
    """Switch the relay on or off: hardware 1.1 and 1.2 only, VelmorError 32 on the others."""
    _call("setRelay", _index(device_index), _checks.flag("on", on))
