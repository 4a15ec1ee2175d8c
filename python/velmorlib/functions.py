"""The 21 exports as Python functions.

Each is named after its C export in snake_case, checks its arguments before calling into C
(TypeError or ValueError; nothing is called then), returns its out-parameter if it has one,
and raises VelmorError for a result code other than 0.
"""

import ctypes

from . import _checks
from . import _library
from .errors import VelmorError


def _call(name, *arguments):
    code = getattr(_library.load_library(), name)(*arguments)
    if code != 0:
        unit = arguments[0] if arguments and isinstance(arguments[0], int) else None
        raise VelmorError(code, name, device_index=unit)


def _index(device_index):
    return _checks.int32("device_index", device_index)


def initialise():
    """Prepare the library; every later first use of an index runs its start-up handshake again."""
    _call("initialise")


def get_device_count():
    """The number of attached supported units (works before initialise)."""
    count = ctypes.c_int32()
    _call("getDeviceCount", ctypes.byref(count))
    return count.value


def get_device_index(serial_number):
    """The 1-based index of the unit with this serial number, ignoring case.

    serial_number is str (sent as Latin-1) or bytes; raises VelmorError 28 when no unit has it.
    """
    data = _checks.serial_number(serial_number)
    index = ctypes.c_int32()
    _call("getDeviceIndex", data, ctypes.byref(index))
    return index.value


def motor_on(device_index):
    _call("motorOn", _index(device_index))


def motor_off(device_index):
    _call("motorOff", _index(device_index))


def stop_motor(device_index):
    _call("stopMotor", _index(device_index))


def zero_motor_position(device_index):
    _call("zeroMotorPosition", _index(device_index))


def move_motor_absolute(device_index, position):
    """Move to a position in whole full steps."""
    _call("moveMotorAbsolute", _index(device_index), _checks.int32("position", position))


def move_motor_relative(device_index, steps):
    """Move by a number of whole full steps."""
    _call("moveMotorRelative", _index(device_index), _checks.int32("steps", steps))


def move_motor_home(device_index):
    _call("moveMotorHome", _index(device_index))


def get_absolute_position(device_index):
    """The position in whole full steps."""
    position = ctypes.c_int32()
    _call("getAbsolutePosition", _index(device_index), ctypes.byref(position))
    return position.value


def is_motor_ready(device_index):
    """True when the motor is ready."""
    ready = ctypes.c_uint8()
    _call("isMotorReady", _index(device_index), ctypes.byref(ready))
    return ready.value == 1


def set_motor_speed(device_index, speed, step_mode):
    """speed in steps per second; the step rate is speed times 2 to the power step_mode."""
    _call("setMotorSpeed", _index(device_index), _checks.int32("speed", speed),
          _checks.int32("step_mode", step_mode))


def set_motor_acceleration(device_index, acceleration):
    """acceleration in steps per second squared; 0 turns the ramp off."""
    _call("setMotorAcceleration", _index(device_index), _checks.int32("acceleration", acceleration))


def set_motor_current(device_index, current, current_flag):
    """current in milliamperes."""
    _call("setMotorCurrent", _index(device_index), _checks.int32("current", current),
          _checks.flag("current_flag", current_flag))


def set_backlash_compensation(device_index, enabled, direction, amount):
    """direction 0 or 1; amount in steps."""
    _call("setBacklashCompensation", _index(device_index), _checks.flag("enabled", enabled),
          _checks.uint32("direction", direction), _checks.int32("amount", amount))


def set_home_settings(device_index, direction, home_flag_b, home_flag_a, home_value_a, home_value_b):
    """direction 0 or 1; home_value_a and home_value_b at most 10000."""
    _call("setHomeSettings", _index(device_index), _checks.uint32("direction", direction),
          _checks.flag("home_flag_b", home_flag_b), _checks.flag("home_flag_a", home_flag_a),
          _checks.uint32("home_value_a", home_value_a), _checks.uint32("home_value_b", home_value_b))


def set_limit_switches(device_index, input1, type1, input2, type2):
    """Input channels 1 to 4 (1 to 8 on hardware 27.1); types 0 (not used) to 6."""
    _call("setLimitSwitches", _index(device_index), _checks.int32("input1", input1),
          _checks.uint32("type1", type1), _checks.int32("input2", input2), _checks.uint32("type2", type2))


def set_pwm(device_index, value):
    _call("setPWM", _index(device_index), _checks.int32("value", value))


def set_pwm_step_mode(device_index):
    _call("setPWMStepMode", _index(device_index))


def set_relay(device_index, on):
    """Hardware 1.1 and 1.2 only; VelmorError 32 on the others."""
    _call("setRelay", _index(device_index), _checks.flag("on", on))
