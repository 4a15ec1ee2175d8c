"""Texts of the result codes and the exception raised for a failed call."""

from typing import Optional, Tuple

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
    """Why the unit at device_index could not be opened (code 3), from the unit count read after.

    Still listed at its index: it is open in another program; no longer listed there: it was
    unplugged. unit_count None (the count could not be read) gives both. velmorctl says the same.
    """
    if unit_count is None:
        return "the unit is open in another program, or was unplugged"
    if device_index <= unit_count:
        return "the unit is open in another program"
    return "the unit was unplugged (it is no longer listed at its index)"


def _unit_count() -> Optional[int]:
    import ctypes
    from . import _library
    count = ctypes.c_int32()
    return count.value if _library.load_library().getDeviceCount(ctypes.byref(count)) == 0 else None


class VelmorError(Exception):
    """A call into VelmorLib returned a result code other than 0.

    .code is the result code, .text its text, .function the name of the C export that
    returned it (None when the error was made by hand). .reason says what the code alone cannot
    (for code 3 on a unit: open in another program, or unplugged), else None.
    """

    def __init__(self, code: int, function: Optional[str] = None,
                 device_index: Optional[int] = None) -> None:
        super().__init__(code, function)
        self.code = int(code)
        self.text = result_text(self.code)
        self.function = function
        self.reason: Optional[str] = None
        if self.code == 3 and device_index is not None:
            self.reason = open_failure_reason(device_index, _unit_count())

    def __str__(self) -> str:
        where = "{}: ".format(self.function) if self.function else ""
        number = " (result code {})".format(self.code) if _known(self.code) else ""
        reason = ": {}".format(self.reason) if self.reason else ""
        return where + self.text + number + reason
