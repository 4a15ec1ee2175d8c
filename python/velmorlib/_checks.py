"""Checks of the arguments before they reach C, where ctypes would silently wrap them."""

from typing import Dict, Optional, Tuple

_RANGES: Dict[str, Tuple[int, int]] = {
    "int32_t": (-2 ** 31, 2 ** 31 - 1),
    "uint8_t": (0, 2 ** 8 - 1),
    "uint32_t": (0, 2 ** 32 - 1),
    "int64_t": (-2 ** 63, 2 ** 63 - 1),
}


def _integer(name: str, value: object, c_type: str, flag: bool) -> int:
    if isinstance(value, bool):
        if not flag:
            raise TypeError("{} must be an int, not bool".format(name))
        return int(value)
    if not isinstance(value, int):
        allowed = "an int or a bool" if flag else "an int"
        raise TypeError("{} must be {}, not {}".format(name, allowed, type(value).__name__))
    lowest, highest = _RANGES[c_type]
    if not lowest <= value <= highest:
        raise ValueError("{} is {}, outside the range of {} ({} to {})".format(name, value, c_type, lowest, highest))
    return int(value)


def int32(name: str, value: object) -> int:
    return _integer(name, value, "int32_t", flag=False)


def uint32(name: str, value: object) -> int:
    return _integer(name, value, "uint32_t", flag=False)


def flag(name: str, value: object) -> int:
    """A uint8_t that may also be given as a bool."""
    return _integer(name, value, "uint8_t", flag=True)


def int64_or_flag(name: str, value: object) -> int:
    """An int64_t that may also be given as a bool (0 or 1)."""
    return _integer(name, value, "int64_t", flag=True)


def serial_number(value: object) -> bytes:
    """The serial number as the bytes the library compares: str as Latin-1, bytes as given."""
    if isinstance(value, str):
        try:
            data = value.encode("latin-1")
        except UnicodeEncodeError:
            raise ValueError("serial_number {!r} has characters outside Latin-1".format(value)) from None
    elif isinstance(value, (bytes, bytearray)):
        data = bytes(value)
    else:
        raise TypeError("serial_number must be str or bytes, not {}".format(type(value).__name__))
    if b"\0" in data:
        raise ValueError("serial_number {!r} holds a NUL character".format(value))
    return data


def seconds(name: str, value: object) -> Optional[float]:
    """A duration: None (no limit) or a non-negative number of seconds."""
    if value is None:
        return None
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError("{} must be a number of seconds or None, not {}".format(name, type(value).__name__))
    if not value >= 0:  # also refuses NaN
        raise ValueError("{} must not be negative, got {}".format(name, value))
    return float(value)
