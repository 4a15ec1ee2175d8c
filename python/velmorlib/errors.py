"""The result codes in the library's words, and the exception raised for a failed call."""

from typing import TYPE_CHECKING, Any, Optional, Tuple

from . import _library
from .codes import VELMOR_HIGHEST_RESULT_CODE

if TYPE_CHECKING:
    from .companion import UnitState

def _is_code(code: object) -> bool:
    """A result code the library names: 0 to the highest, the unused 2 and 17 among them."""
    return isinstance(code, int) and not isinstance(code, bool) and 0 <= code <= VELMOR_HIGHEST_RESULT_CODE


def _words(function: str, code: object) -> str:
    # A value that is no int32_t is no code either: it is asked as -1, which the library knows as none.
    fits = isinstance(code, int) and not isinstance(code, bool) and -2 ** 31 <= code < 2 ** 31
    value = code if fits else -1
    words: Optional[bytes] = getattr(_library.load_library(), function)(value)
    return (words or b"").decode("utf-8", "replace")


def result_text(code: int) -> str:
    """What a result code means, in the library's words (velmorResultText): "opening the unit
    failed" for 3; "unused result code" for 2 and 17; "unknown result code N" for any other value.

    Loads the library (OSError when it cannot be loaded).
    """
    text = _words("velmorResultText", code)
    return text if _is_code(code) else "{} {}".format(text, code)


def result_name(code: int) -> str:
    """The name of a result code's constant, as the library gives it (velmorResultName):
    "VELMOR_ERROR_OPEN_FAILED" for 3; "" for the unused codes 2 and 17 and any other value.

    The same names as VelmorResult's members. Loads the library (OSError when it cannot be loaded).
    """
    return _words("velmorResultName", code)


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
    count = ctypes.c_int32()
    return count.value if _library.load_library().getDeviceCount(ctypes.byref(count)) == 0 else None


def _text_of(code: int) -> str:
    try:
        return result_text(code)
    except OSError:
        return "no words for it: VelmorLib cannot be loaded"


class VelmorError(Exception):
    """A call into VelmorLib returned a result code other than 0.

    .code is the result code, .text its text (result_text), .function the name of the C export
    that returned it (None when the error was made by hand). .reason says what the code alone
    cannot, else None: for a settings function the unit refused (codes 5, 7, 13, 21, 22, 23, 24),
    which value is outside the unit's range and what that range is, in the library's words
    (explain_refusal, asked only after the failure); for code 3 on a unit whether it is open in
    another program, was unplugged, or is held here at another index than it is listed at now; for
    any code on a held index whose unit has gone from it, where it went (read from
    velmorGetUnitState right after the call). A copy made by pickle keeps .text and .reason.
    """

    def __init__(self, code: int, function: Optional[str] = None, device_index: Optional[int] = None,
                 *, serial: Optional[str] = None, reason: Optional[str] = None) -> None:
        super().__init__(code, function)
        self.code = int(code)
        self._text: Optional[str] = None
        self.function = function
        self.reason: Optional[str] = reason
        if reason is None and device_index is not None and self.code not in _NOT_ABOUT_THE_UNIT:
            self.reason = _reason(self.code, device_index, serial)

    @property
    def text(self) -> str:
        """What the code means, in the library's words (result_text), asked when first read."""
        if self._text is None:
            self._text = _text_of(self.code)
        return self._text

    def __reduce__(self) -> Tuple[Any, ...]:
        return type(self), (self.code, self.function), {"_text": self.text, "reason": self.reason}

    def __str__(self) -> str:
        where = "{}: ".format(self.function) if self.function else ""
        number = " (result code {})".format(self.code) if _is_code(self.code) else ""
        reason = ": {}".format(self.reason) if self.reason else ""
        return where + self.text + number + reason
