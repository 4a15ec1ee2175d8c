"""Texts of the result codes and the exception raised for a failed call."""

from typing import TYPE_CHECKING, Optional, Tuple

if TYPE_CHECKING:
    from .companion import UnitState

_TEXTS: Tuple[str, ...] = (
    "success",
    "the device index is out of range",
    "unused result code",
    "opening the unit failed",
    "reading the motor configuration failed",
    "writing the motor configuration failed",
    "reading the motion configuration failed",
    "writing the motion configuration failed",
    "the move or home request failed",
    "switching the motor on failed",
    "switching the motor off failed",
    "stopping the motor failed",
    "reading from the unit failed",
    "setting the PWM value failed",
    "setting the relay failed",
    "the motor is not ready (state 0)",
    "the motor is not ready (state 4)",
    "unused result code",
    "the motor is not ready (state 5)",
    "the motor is not ready (state 6)",
    "the motor is not ready (another state)",
    "an argument is out of range",
    "writing the input configuration failed",
    "writing the backlash compensation failed",
    "writing the home settings failed",
    "zeroing the position failed",
    "the unit's start command failed",
    "the library is not initialised",
    "no supported unit has this serial number",
    "reading the unit's information failed",
    "the unit's information is not valid",
    "the unit's firmware is not supported on its hardware",
    "the unit has no relay",
    "setting the PWM step mode failed",
)


def _known(code: object) -> bool:
    return isinstance(code, int) and not isinstance(code, bool) and 0 <= code < len(_TEXTS)


def result_text(code: int) -> str:
    """The text of a result code; "unknown result code N" for a code outside the table."""
    return _TEXTS[code] if _known(code) else "unknown result code {}".format(code)


def open_failure_reason(device_index: int, unit_count: Optional[int]) -> str:
    """Why the unit at device_index could not be opened (code 3), from the unit count alone.

    Still listed at its index: it is open in another program; no longer listed there: it was
    unplugged. unit_count None (the count could not be read) gives both. Used when the unit
    state cannot be read; velmorctl says the same.
    """
    if unit_count is None:
        return "the unit is open in another program, or was unplugged"
    if device_index <= unit_count:
        return "the unit is open in another program"
    return "the unit was unplugged (it is no longer listed at its index)"


def unreachable_reason(code: int, device_index: int, state: "UnitState",
                       serial: Optional[str] = None) -> Optional[str]:
    """Why a call on device_index failed with code, from velmorGetUnitState.

    For code 3: the unit is busy in another program, unplugged, or held here at another index
    than it is listed at now. For any code on a held index whose unit has gone from it (a unit
    unplugged during an exchange fails that exchange's own code): unplugged or listed elsewhere.
    serial is the unit the caller wanted, when it differs from the one held at the index. None
    when the state explains nothing.
    """
    if state.held and state.held_unit_away:
        held = state.held_serial_number
        if serial is not None and serial.casefold() != held.casefold():
            where = ("now listed at index {}".format(state.held_unit_listed_at) if state.held_unit_listed_at
                     else "which was unplugged")
            return "index {} is held here for the unit {}, {}".format(device_index, held, where)
        if state.held_unit_listed_at:
            return "the unit {} is held here at index {}, now listed at index {}".format(
                held, device_index, state.held_unit_listed_at)
        return "the unit {} is held here at index {} and was unplugged".format(held, device_index)
    if code != 3:
        return None
    if state.listed and state.held_elsewhere_at:
        return "the unit {} is held here at index {}, now listed at index {}".format(
            state.serial_number, state.held_elsewhere_at, device_index)
    if state.listed and state.open_elsewhere:
        return "the unit is open in another program"
    if not state.listed:
        return "the unit was unplugged (it is no longer listed at its index)"
    return ("the unit is listed and no other program has it open, but it could not be opened: "
            "no access to its USB device, or another driver holds it")


def _reason(code: int, device_index: int, serial: Optional[str]) -> Optional[str]:
    from . import companion
    state = companion.unit_state_or_none(device_index)
    if state is None:
        return open_failure_reason(device_index, _unit_count()) if code == 3 else None
    return unreachable_reason(code, device_index, state, serial)


# Codes that say nothing of where the unit is: no reason is looked for.
_NOT_ABOUT_THE_UNIT = (0, 21, 27)


def _unit_count() -> Optional[int]:
    import ctypes
    from . import _library
    count = ctypes.c_int32()
    return count.value if _library.load_library().getDeviceCount(ctypes.byref(count)) == 0 else None


class VelmorError(Exception):
    """A call into VelmorLib returned a result code other than 0.

    .code is the result code, .text its text, .function the name of the C export that
    returned it (None when the error was made by hand). .reason says what the code alone cannot,
    else None: for code 3 on a unit whether it is open in another program, was unplugged, or is
    held here at another index than it is listed at now; for any code on a held index whose unit
    has gone from it, where it went. It is read from velmorGetUnitState right after the call.
    """

    def __init__(self, code: int, function: Optional[str] = None, device_index: Optional[int] = None,
                 *, serial: Optional[str] = None, reason: Optional[str] = None) -> None:
        super().__init__(code, function)
        self.code = int(code)
        self.text = result_text(self.code)
        self.function = function
        self.reason: Optional[str] = reason
        if reason is None and device_index is not None and self.code not in _NOT_ABOUT_THE_UNIT:
            self.reason = _reason(self.code, device_index, serial)

    def __str__(self) -> str:
        where = "{}: ".format(self.function) if self.function else ""
        number = " (result code {})".format(self.code) if _known(self.code) else ""
        reason = ": {}".format(self.reason) if self.reason else ""
        return where + self.text + number + reason
