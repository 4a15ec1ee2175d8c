"""VelmorLib from Python: the 21 C exports through ctypes, standard library only.

The functions carry the snake_case names of the exports (getDeviceCount -> get_device_count,
setPWM -> set_pwm, ...), return their out-parameter if they have one, and raise VelmorError
(.code, .text, .function) for a result code other than 0. Arguments are checked against
their C types before the call: TypeError or ValueError, never a silently wrapped value.
Unit wraps the per-unit calls for one index. The companion functions (version, unit
information, motor status, settings read back, limits, held units) return dataclasses. load_library() returns the raw ctypes library
(exports under their C names, returning the codes) and chooses where it is loaded from;
VELMORLIB_LIBRARY overrides the search.
"""

from ._library import library_path, load_library
from .codes import VELMOR_HIGHEST_RESULT_CODE, VelmorResult
from .companion import (
    D2xxInfo,
    Limits,
    MotionSettings,
    MotorSettings,
    MotorStatus,
    MoveSettings,
    Settings,
    UnitInfo,
    get_d2xx_info,
    get_limits,
    get_motor_status,
    get_unit_info,
    get_version,
    hold_unit,
    read_motion_settings,
    read_motor_settings,
    read_move_settings,
    release_all_units,
    release_unit,
)
from .errors import VelmorError, result_text
from .functions import (
    get_absolute_position,
    get_device_count,
    get_device_index,
    initialise,
    is_motor_ready,
    motor_off,
    motor_on,
    move_motor_absolute,
    move_motor_home,
    move_motor_relative,
    set_backlash_compensation,
    set_home_settings,
    set_limit_switches,
    set_motor_acceleration,
    set_motor_current,
    set_motor_speed,
    set_pwm,
    set_pwm_step_mode,
    set_relay,
    stop_motor,
    zero_motor_position,
)
from .unit import Unit

globals().update(VelmorResult.__members__)

__all__ = [
    "VELMOR_HIGHEST_RESULT_CODE", "Unit", "VelmorError", "VelmorResult",
    "D2xxInfo", "Limits", "MotionSettings", "MotorSettings", "MotorStatus", "MoveSettings", "Settings", "UnitInfo",
    "get_d2xx_info", "get_limits", "get_motor_status", "get_unit_info", "get_version", "hold_unit", "read_motion_settings",
    "read_motor_settings", "read_move_settings", "release_all_units", "release_unit",
    "get_absolute_position", "get_device_count", "get_device_index", "initialise", "is_motor_ready",
    "library_path", "load_library", "motor_off", "motor_on", "move_motor_absolute", "move_motor_home",
    "move_motor_relative", "result_text", "set_backlash_compensation", "set_home_settings",
    "set_limit_switches", "set_motor_acceleration", "set_motor_current", "set_motor_speed", "set_pwm",
    "set_pwm_step_mode", "set_relay", "stop_motor", "zero_motor_position",
] + list(VelmorResult.__members__)
