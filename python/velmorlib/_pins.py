"""The holds of Unit's ``with`` blocks, counted per index over the whole process.

The library holds an index once, pinned to the unit it found there. The blocks on that index,
nested or in several threads, share the hold, and the last one to end releases it.
release_unit, release_all_units and initialise let go of holds the blocks still count on: those
pins are marked let go, so that the blocks' calls raise instead of going on unheld, where
another unit could stand at the index by now.
"""

import threading
from typing import Callable, Dict


class Pin:
    """One held index and how many blocks (or calls) count on it."""

    def __init__(self, index: int) -> None:
        self.index = index
        self.count = 0
        self.let_go = False


_lock = threading.Lock()
_pins: Dict[int, Pin] = {}


def _counted(index: int) -> Pin:
    pin = _pins.get(index)
    if pin is None:
        pin = _pins[index] = Pin(index)
    pin.count += 1
    return pin


def hold_index(index: int) -> Pin:
    """Holds the index (velmorHoldUnit) unless a block holds it already."""
    from . import companion
    with _lock:
        if index not in _pins:
            companion.hold_unit(index)
        return _counted(index)


def hold_serial(serial: bytes) -> Pin:
    """Holds the unit with this USB serial number where it is listed now (velmorHoldUnitBySerial)."""
    from . import companion
    with _lock:
        return _counted(companion.hold_unit_by_serial(serial))


def release(pin: Pin) -> None:
    """Ends one count on the pin; the last one releases the index (velmorReleaseUnit)."""
    from . import _library
    with _lock:
        if pin.let_go or _pins.get(pin.index) is not pin:
            return
        pin.count -= 1
        if pin.count > 0:
            return
        del _pins[pin.index]
        pin.let_go = True
        # 0 also when the hold has gone already; an index of a pin is always within 1 to 99
        _library.load_library().velmorReleaseUnit(pin.index)


def let_go(index: int, release_call: Callable[[], None]) -> None:
    """Runs release_call (which lets go of the index in the library) and marks its pin let go."""
    with _lock:
        try:
            release_call()
        finally:
            pin = _pins.pop(index, None)
            if pin is not None:
                pin.let_go = True


def let_go_all(release_call: Callable[[], None]) -> None:
    """Runs release_call (which lets go of every held index) and marks every pin let go."""
    with _lock:
        try:
            release_call()
        finally:
            for pin in _pins.values():
                pin.let_go = True
            _pins.clear()
