"""The companion functions: the library's version, what a unit is, its motor status and settings
read back, the values it accepts and why it refuses a setting, units held open between calls, and
where a unit is listed.

Each reading function returns a frozen dataclass whose fields are those of the C structure in
snake_case (its size left out) and raises VelmorError for a result code other than 0.
"""

import ctypes
import dataclasses
import os
import re
from typing import Any, Dict, Optional, Tuple, Type, TypeVar, Union

from . import _checks
from . import _library
from . import _pins
from . import _structures
from .codes import VELMOR_ERROR_ARGUMENT
from .errors import VelmorError


@dataclasses.dataclass(frozen=True)
class UnitInfo:
    """What a unit is: its listing on the bus, its versions and the serial it stores."""

    serial_number: str          #: as D2XX lists it
    description: str            #: as D2XX lists it
    chip_type: int              #: D2XX's FT_DEVICE number of the chip (chip names it)
    usb_id: int                 #: vendor ID in the high 16 bits, product ID in the low 16 bits
    location_id: int
    hardware_major: int         #: from the serial number
    hardware_minor: int
    firmware_major: int         #: read from the unit's bootloader at its first use
    firmware_minor: int
    stored_serial_number: str   #: from the unit's information page, what get_device_index matches

    @property
    def hardware(self) -> str:
        """The hardware version as text, "1.2"."""
        return "{}.{}".format(self.hardware_major, self.hardware_minor)

    @property
    def firmware(self) -> str:
        """The firmware version as text, "3.0"."""
        return "{}.{}".format(self.firmware_major, self.firmware_minor)

    @property
    def chip(self) -> str:
        """The chip's name, "FT232R" or "X-series" (chip_name of chip_type)."""
        return chip_name(self.chip_type)


@dataclasses.dataclass(frozen=True)
class MotorStatus:
    """One motor-information exchange."""

    position: int               #: full steps, truncated toward zero, as get_absolute_position gives it
    position_in_steps: float    #: full steps
    raw_position: int           #: the unit's counter, in units of its step mode
    step_mode: int
    ready: int                  #: the ready byte; 1 means ready
    move_gate: int              #: what a move would return now: 0, or 15, 16, 18, 19 or 20
    first_word: int             #: the other status bytes, as the unit sends them
    flag9: int
    flag10: int
    flag12: int
    flag13: int

    @property
    def is_ready(self) -> bool:
        """True when the ready byte is 1, as is_motor_ready reports it."""
        return self.ready == 1


@dataclasses.dataclass(frozen=True)
class MotionSettings:
    """The motion configuration, in the units set_motor_speed and set_motor_acceleration take."""

    speed: int                  #: steps/s
    alternate_speed: int        #: steps/s
    alternate_speed_enabled: int
    step_mode: int              #: the step rate is speed times 2 to this power
    acceleration: int           #: steps/s^2
    acceleration_tenths: int    #: as the unit holds it, in tenths of a step/s^2
    acceleration_mode: int      #: 1 ramped, 0 not


@dataclasses.dataclass(frozen=True)
class MotorSettings:
    """The motor configuration."""

    current: int                #: mA
    current_flag: int
    word_value: int
    byte_value: int
    extended_flag: int
    scaled_value_a: float
    scaled_value_b: float


@dataclasses.dataclass(frozen=True)
class MoveSettings:
    """Backlash compensation and homing, as set_backlash_compensation and set_home_settings take them."""

    backlash_enabled: int
    backlash_direction: int
    backlash_amount: int        #: steps
    home_direction: int
    home_mode: int
    home_flag_a: int
    home_flag_b: int
    home_value_a: int
    home_value_b: int


@dataclasses.dataclass(frozen=True)
class Limits:
    """What a unit accepts, by its hardware version."""

    hardware_major: int
    hardware_minor: int
    minimum_current: int        #: mA
    maximum_current: int        #: mA
    maximum_step_rate: int      #: steps/s: speed times 2 to the step mode
    largest_speed: int          #: steps/s
    largest_step_mode: int
    largest_acceleration: int   #: steps/s^2
    largest_backlash_amount: int  #: steps
    largest_home_value: int
    input_channels: int         #: set_limit_switches takes inputs 1 to this
    has_relay: int
    pwm_limit: int


@dataclasses.dataclass(frozen=True)
class Settings:
    """Every setting of a unit, read back."""

    motion: MotionSettings
    motor: MotorSettings
    move: MoveSettings


@dataclasses.dataclass(frozen=True)
class D2xxInfo:
    """The D2XX library the library uses, or why it has none (then no unit is ever listed)."""

    loaded: bool
    library_version: int        #: FTDI's FT_GetLibraryVersion: 0x00010424 for 1.4.24; 0 for the emulator
    file: str                   #: loaded: the file answering the D2XX calls
    error: str                  #: not loaded: what the system's loader said


@dataclasses.dataclass(frozen=True)
class UnitState:
    """What is known of an index without opening anything: the unit listed there and this
    process's hold of it. It tells what a code 3 on the index means."""

    listed: bool                #: a supported unit is listed at the index
    serial_number: str          #: listed: its USB serial number
    open_elsewhere: bool        #: listed: another program has it open
    held_elsewhere_at: int      #: listed: the other index at which this process holds it, 0 when none
    held: bool                  #: this process holds the index
    held_open: bool             #: held: the held unit is open
    held_unit_away: bool        #: held: the held unit is not the one listed at the index
    held_serial_number: str     #: held: the held unit's USB serial number
    held_unit_listed_at: int    #: held: the index the held unit is listed at now, 0 when unplugged


_Record = TypeVar("_Record")


def _snake_case(name: str) -> str:
    return re.sub(r"(?<=[a-z0-9])([A-Z])", r"_\1", name).lower()


def _read(function: str, structure_type: Type[ctypes.Structure], record_type: Type[_Record],
          device_index: int) -> _Record:
    structure = structure_type(size=ctypes.sizeof(structure_type))
    code = getattr(_library.load_library(), function)(_checks.int32("device_index", device_index),
                                                      ctypes.byref(structure))
    if code != 0:
        raise VelmorError(code, function, device_index=device_index)
    values: Dict[str, Any] = {}
    for field in structure_type._fields_[1:]:
        name = field[0]
        value = getattr(structure, name)
        values[_snake_case(name)] = value.decode("latin-1") if isinstance(value, bytes) else value
    return record_type(**values)


def _call(function: str, *arguments: object) -> None:
    code = getattr(_library.load_library(), function)(*arguments)
    if code != 0:
        unit = arguments[0] if arguments and isinstance(arguments[0], int) else None
        raise VelmorError(code, function, device_index=unit)


def get_version() -> Tuple[int, int, int]:
    """The loaded library's version as (major, minor, patch)."""
    major, minor, patch = ctypes.c_int32(), ctypes.c_int32(), ctypes.c_int32()
    _call("velmorGetVersion", ctypes.byref(major), ctypes.byref(minor), ctypes.byref(patch))
    return major.value, minor.value, patch.value


def get_d2xx_info() -> D2xxInfo:
    """Which D2XX library is in use; on Linux the library loads libftd2xx.so at its first need."""
    structure = _structures.D2xxInfoStruct(size=ctypes.sizeof(_structures.D2xxInfoStruct))
    _call("velmorGetD2xxInfo", ctypes.byref(structure))
    return D2xxInfo(loaded=structure.loaded != 0, library_version=structure.libraryVersion,
                    file=os.fsdecode(structure.file), error=structure.error.decode("utf-8", "replace"))


def get_unit_info(device_index: int) -> UnitInfo:
    """What the unit is; its first use runs the start-up handshake, as any call does."""
    return _read("velmorGetUnitInfo", _structures.UnitInfoStruct, UnitInfo, device_index)


def get_motor_status(device_index: int) -> MotorStatus:
    """Position, step mode and readiness from one motor-information exchange (VelmorError 12 when it fails)."""
    return _read("velmorGetMotorStatus", _structures.MotorStatusStruct, MotorStatus, device_index)


def read_motion_settings(device_index: int) -> MotionSettings:
    """Speed, step mode and acceleration read back from the unit (VelmorError 6 when the read fails)."""
    return _read("velmorReadMotionSettings", _structures.MotionSettingsStruct, MotionSettings, device_index)


def read_motor_settings(device_index: int) -> MotorSettings:
    """The current and the rest of the motor configuration read back (VelmorError 4 when the read fails)."""
    return _read("velmorReadMotorSettings", _structures.MotorSettingsStruct, MotorSettings, device_index)


def read_move_settings(device_index: int) -> MoveSettings:
    """Backlash compensation and homing read back from the unit (VelmorError 12 when the read fails)."""
    return _read("velmorReadMoveSettings", _structures.MoveSettingsStruct, MoveSettings, device_index)


def get_limits(device_index: int) -> Limits:
    """What the unit accepts, by its hardware version; opens the unit as any call does."""
    return _read("velmorGetLimits", _structures.LimitsStruct, Limits, device_index)


# 256 bytes hold every text velmorExplainRefusal writes.
_REFUSAL_CAPACITY = 256


def explain_refusal(device_index: int, function: str, *arguments: Union[int, bool]) -> str:
    """Why the unit at device_index refuses the settings export function (its C name:
    "setMotorCurrent", "setMotorSpeed", "setMotorAcceleration", "setBacklashCompensation",
    "setHomeSettings", "setLimitSwitches" or "setPWM") with these arguments, those after the index
    in the export's order (bool as 0 or 1), in the library's words with the unit's range:
    "8001 mA is above the 8000 mA maximum of this unit (hardware 1.2)", several reasons joined
    with "; " (velmorExplainRefusal).

    "" when every value is within the unit's range: a refusal then came from the exchange, or from
    a value the unit judges by its own state. Read from the hardware version in the unit's listed
    serial number: nothing is opened, and it works before initialise. The settings functions ask it
    themselves after a refusal: their VelmorError's .reason. TypeError or ValueError for an argument
    that is not a 64-bit integer; VelmorError 1 when no supported unit is listed at device_index,
    21 for another function or another number of arguments.
    """
    index = _checks.int32("device_index", device_index)
    if not isinstance(function, str):
        raise TypeError("function must be a str, not {}".format(type(function).__name__))
    name = function.encode("utf-8")
    if b"\0" in name:
        raise ValueError("function {!r} holds a NUL character".format(function))
    values = [_checks.int64_or_flag("argument {}".format(position), value)
              for position, value in enumerate(arguments, start=1)]
    text = ctypes.create_string_buffer(_REFUSAL_CAPACITY)
    code = _library.load_library().velmorExplainRefusal(
        index, name, (ctypes.c_int64 * max(len(values), 1))(*values), len(values), text, _REFUSAL_CAPACITY)
    if code != 0:
        reason = None
        if code == VELMOR_ERROR_ARGUMENT:
            reason = "the library explains no settings function {!r} taking {} argument{} after the index".format(
                function, len(values), "" if len(values) == 1 else "s")
        raise VelmorError(code, "velmorExplainRefusal", reason=reason)
    return text.value.decode("utf-8", "replace")


def chip_name(chip_type: int) -> str:
    """The name of an FTDI chip by D2XX's FT_DEVICE number (UnitInfo.chip_type), as the library
    gives it (velmorChipName): "FT232R" for 5, "X-series" for 9, "unknown" for a number it does not
    know. TypeError or ValueError for a value that is not a uint32_t."""
    name: Optional[bytes] = _library.load_library().velmorChipName(_checks.uint32("chip_type", chip_type))
    return (name or b"").decode("utf-8", "replace")


def hold_unit(device_index: int) -> None:
    """Keep the unit open and pin the index to it: later calls on the index skip opening it and the
    50 ms wait (a few ms each), and reach that unit or none (VelmorError 3, or 1, once another unit
    or none is listed there; its .reason says which)."""
    _call("velmorHoldUnit", _checks.int32("device_index", device_index))


def release_unit(device_index: int) -> None:
    """Close a held unit and remove its pin; nothing happens when it is not held (VelmorError 1 for
    an index outside 1 to 99). A Unit's ``with`` block holding the index raises from then on."""
    index = _checks.int32("device_index", device_index)
    _pins.let_go(index, lambda: _call("velmorReleaseUnit", index))


def release_all_units() -> None:
    """Close every held unit; the ``with`` blocks of Units holding one raise from then on."""
    _pins.let_go_all(lambda: _call("velmorReleaseAllUnits"))


def _serial_call(function: str, serial_number: Union[str, bytes]) -> int:
    data = _checks.serial_number(serial_number)
    index = ctypes.c_int32(0)
    code = getattr(_library.load_library(), function)(data, ctypes.byref(index))
    if code != 0:
        # velmorHoldUnitBySerial writes the index whenever the unit is listed, also with a 3
        listed_at = index.value if 1 <= index.value <= 99 else None
        raise VelmorError(code, function, device_index=listed_at, serial=data.decode("latin-1"))
    return index.value


def hold_unit_by_serial(serial_number: Union[str, bytes]) -> int:
    """Find the unit by its USB serial number as D2XX lists it (any case) and hold it at the index
    it is listed at now, which is returned; no other unit is opened.

    Calls on that index then reach this unit or none (VelmorError 3 or 1 once it has gone). serial_number
    is str (Latin-1) or bytes. VelmorError 28 when no unit with it is listed, 3 when another program
    has it open or the index is held for another unit (.reason says which), 27 before initialise.
    """
    return _serial_call("velmorHoldUnitBySerial", serial_number)


def where_is_unit(serial_number: Union[str, bytes]) -> int:
    """The index at which the unit with this USB serial number (any case) is listed now.

    Reads D2XX's list alone: nothing is opened, and a unit open in another program is found too.
    VelmorError 28 when it is not listed. Works before initialise.
    """
    return _serial_call("velmorWhereIsUnit", serial_number)


def _unit_state(device_index: int) -> Tuple[int, Optional[UnitState]]:
    structure = _structures.UnitStateStruct(size=ctypes.sizeof(_structures.UnitStateStruct))
    code = _library.load_library().velmorGetUnitState(device_index, ctypes.byref(structure))
    if code != 0:
        return code, None
    return 0, UnitState(
        listed=structure.listed != 0, serial_number=structure.serialNumber.decode("latin-1"),
        open_elsewhere=structure.openElsewhere != 0, held_elsewhere_at=structure.heldElsewhereAt,
        held=structure.held != 0, held_open=structure.heldOpen != 0, held_unit_away=structure.heldUnitAway != 0,
        held_serial_number=structure.heldSerialNumber.decode("latin-1"),
        held_unit_listed_at=structure.heldUnitListedAt)


def get_unit_state(device_index: int) -> UnitState:
    """What is known of device_index without opening anything: the unit listed there, whether
    another program has it open, and this process's hold of it (what a code 3 there means).

    VelmorError 1 for an index outside 1 to 99. Works before initialise.
    """
    code, state = _unit_state(_checks.int32("device_index", device_index))
    if state is None:
        raise VelmorError(code, "velmorGetUnitState")
    return state


def unit_state_or_none(device_index: int) -> Optional[UnitState]:
    """get_unit_state, or None when it fails or the library cannot be loaded (for error texts)."""
    if isinstance(device_index, bool) or not isinstance(device_index, int) or not 1 <= device_index <= 99:
        return None
    try:
        return _unit_state(device_index)[1]
    except OSError:
        return None
