"""VelmorLib from Python: the 21 C exports and the companion functions through ctypes, standard
library only.

The functions carry the snake_case names of the exports (getDeviceCount -> get_device_count,
setPWM -> set_pwm, ...), return their out-parameter if they have one, and raise VelmorError
(.code, .text, .function) for a result code other than 0. Arguments are checked against
their C types before the call: TypeError or ValueError, never a silently wrapped value.
Unit wraps the per-unit calls for one index, and holds the unit open inside a ``with`` block.
The companion functions (version, unit information, motor status, settings read back, limits,
held units, where a unit is listed and what is known of an index) return dataclasses. The
library words what the numbers mean: result_text and result_name of a result code,
explain_refusal (why a unit refuses a setting; a refused setting's VelmorError carries it as
.reason) and chip_name. load_library() returns the raw ctypes library (exports under their C
names, returning the codes) and chooses where it is loaded from; VELMORLIB_LIBRARY overrides the
search. Unit profiles (Profile, load_profiles, Unit.profile, Unit.apply, Unit.diff) name a
unit, its physical unit and travel limits, and hold its settings. __version__ is the package's
version, the same as the library's (get_version()) when both come from one release.
"""

from ._library import library_path, load_library
from ._version import __version__ as __version__
# VelmorResult, VELMOR_HIGHEST_RESULT_CODE and each result code as a name (VELMOR_ERROR_NO_RELAY)
from .codes import *  # noqa: F401,F403
from .codes import VelmorResult
from .companion import (
    D2xxInfo,
    Limits,
    MotionSettings,
    MotorSettings,
    MotorStatus,
    MoveSettings,
    Settings,
    UnitInfo,
    UnitState,
    chip_name,
    explain_refusal,
    get_d2xx_info,
    get_limits,
    get_motor_status,
    get_unit_info,
    get_unit_state,
    get_version,
    hold_unit,
    hold_unit_by_serial,
    read_motion_settings,
    read_motor_settings,
    read_move_settings,
    release_all_units,
    release_unit,
    where_is_unit,
)
from .errors import VelmorError, result_name, result_text
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
from .profiles import (
    PROFILE_ANY_UNIT,
    PROFILE_DRY_RUN,
    PROFILE_FIX,
    PROFILE_VERSION,
    ApplyReport,
    Difference,
    Profile,
    ProfileError,
    ProfileNotApplied,
    ProfilesLoaded,
    SettingOutcome,
    apply_profile,
    diff_profile,
    load_profiles,
    read_profile,
)
from .unit import Unit

__all__ = [
    "VELMOR_HIGHEST_RESULT_CODE", "Unit", "VelmorError", "VelmorResult",
    "D2xxInfo", "Limits", "MotionSettings", "MotorSettings", "MotorStatus", "MoveSettings", "Settings", "UnitInfo",
    "UnitState", "get_d2xx_info", "get_limits", "get_motor_status", "get_unit_info", "get_unit_state", "get_version",
    "hold_unit", "hold_unit_by_serial", "read_motion_settings", "read_motor_settings", "read_move_settings",
    "release_all_units", "release_unit", "where_is_unit", "chip_name", "explain_refusal", "result_name",
    "get_absolute_position", "get_device_count", "get_device_index", "initialise", "is_motor_ready",
    "library_path", "load_library", "motor_off", "motor_on", "move_motor_absolute", "move_motor_home",
    "move_motor_relative", "result_text", "set_backlash_compensation", "set_home_settings",
    "set_limit_switches", "set_motor_acceleration", "set_motor_current", "set_motor_speed", "set_pwm",
    "set_pwm_step_mode", "set_relay", "stop_motor", "zero_motor_position",
    "PROFILE_ANY_UNIT", "PROFILE_DRY_RUN", "PROFILE_FIX", "PROFILE_VERSION", "ApplyReport", "Difference", "Profile",
    "ProfileError", "ProfileNotApplied", "ProfilesLoaded", "SettingOutcome", "apply_profile", "diff_profile",
    "load_profiles", "read_profile",
]
__all__ += [name for name in VelmorResult.__members__]
