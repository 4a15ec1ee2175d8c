"""One attached unit, addressed by its index."""

import contextlib
import threading
import time
from types import TracebackType
from typing import Dict, Iterator, Optional, Type, Union

from . import _checks
from . import companion
from . import functions

# How many `with` blocks hold each index, over every Unit of the process: the unit is held when
# the first block enters and released when the last one ends, so that nested blocks (or two
# threads on one unit) do not release it under each other.
_holds_lock = threading.Lock()
_holds: Dict[int, int] = {}


def _hold(index: int) -> None:
    with _holds_lock:
        if _holds.get(index, 0) == 0:
            companion.hold_unit(index)
        _holds[index] = _holds.get(index, 0) + 1


def _release(index: int) -> None:
    with _holds_lock:
        remaining = _holds.get(index, 0) - 1
        if remaining > 0:
            _holds[index] = remaining
            return
        _holds.pop(index, None)
        companion.release_unit(index)


class Unit:
    """A unit by its 1-based index, Unit(2), or by its serial number, Unit(serial="JXah00102").

    A serial number is looked up once, here (getDeviceIndex; VelmorError 28 if no unit has
    it). The index is not checked against the units attached: a call on a unit that is not
    there raises VelmorError 1.

    As a context manager the unit is held while inside the block: ``with Unit(2) as unit:``
    opens it once (velmorHoldUnit), every call in the block takes a few milliseconds instead of
    54 or more, and no other program can open the unit meanwhile; leaving the block, however
    it ends, releases it (velmorReleaseUnit). Entering raises VelmorError when the unit cannot
    be opened (1, 3, 27, ...). Blocks may nest and several threads may hold one unit: it is
    released when the last block on its index ends. initialise() and release_all_units() let
    go of held units at once; calls in a block go on working, opening the unit each time.
    """

    index: int
    serial: Optional[Union[str, bytes]]

    def __init__(self, index: Optional[int] = None, *, serial: Optional[Union[str, bytes]] = None) -> None:
        if (index is None) == (serial is None):
            raise TypeError("Unit takes either an index or serial=, not both or neither")
        if serial is not None:
            index = functions.get_device_index(serial)
        self.index = _checks.int32("index", index)
        self.serial = serial

    def __repr__(self) -> str:
        if self.serial is not None:
            return "Unit({!r}, serial={!r})".format(self.index, self.serial)
        return "Unit({!r})".format(self.index)

    def __enter__(self) -> "Unit":
        _hold(self.index)
        return self

    def __exit__(self, exception_type: Optional[Type[BaseException]], exception: Optional[BaseException],
                 traceback: Optional[TracebackType]) -> None:
        _release(self.index)

    def on(self) -> None:
        """Switch the motor on (motor_on)."""
        functions.motor_on(self.index)

    def off(self) -> None:
        """Switch the motor off (motor_off)."""
        functions.motor_off(self.index)

    def stop(self) -> None:
        """Stop the motor (stop_motor)."""
        functions.stop_motor(self.index)

    def zero(self) -> None:
        """Set the position counter to 0 (zero_motor_position)."""
        functions.zero_motor_position(self.index)

    def move_to(self, position: int) -> None:
        """Start a move to a position in whole full steps (move_motor_absolute)."""
        functions.move_motor_absolute(self.index, position)

    def move_by(self, steps: int) -> None:
        """Start a move by a number of whole full steps (move_motor_relative)."""
        functions.move_motor_relative(self.index, steps)

    def home(self) -> None:
        """Start the move to the home position (move_motor_home)."""
        functions.move_motor_home(self.index)

    def position(self) -> int:
        """The position in whole full steps (get_absolute_position)."""
        return functions.get_absolute_position(self.index)

    def is_ready(self) -> bool:
        """True when the motor is ready (is_motor_ready)."""
        return functions.is_motor_ready(self.index)

    def set_speed(self, speed: int, step_mode: int) -> None:
        """Speed in steps per second and step mode (set_motor_speed)."""
        functions.set_motor_speed(self.index, speed, step_mode)

    def set_acceleration(self, acceleration: int) -> None:
        """Acceleration in steps per second squared, 0 for no ramp (set_motor_acceleration)."""
        functions.set_motor_acceleration(self.index, acceleration)

    def set_current(self, current: int, current_flag: Union[int, bool]) -> None:
        """Current in milliamperes and the current flag (set_motor_current)."""
        functions.set_motor_current(self.index, current, current_flag)

    def set_backlash(self, enabled: Union[int, bool], direction: int, amount: int) -> None:
        """Backlash compensation: direction 0 or 1, amount in steps (set_backlash_compensation)."""
        functions.set_backlash_compensation(self.index, enabled, direction, amount)

    def set_home_settings(self, direction: int, home_flag_b: Union[int, bool], home_flag_a: Union[int, bool],
                          home_value_a: int, home_value_b: int) -> None:
        """Homing: direction 0 or 1, values at most 10000 (set_home_settings)."""
        functions.set_home_settings(self.index, direction, home_flag_b, home_flag_a, home_value_a, home_value_b)

    def set_limit_switches(self, input1: int, type1: int, input2: int, type2: int) -> None:
        """Limit-switch inputs and their types 0 to 6 (set_limit_switches)."""
        functions.set_limit_switches(self.index, input1, type1, input2, type2)

    def set_pwm(self, value: int) -> None:
        """The PWM output value (set_pwm)."""
        functions.set_pwm(self.index, value)

    def set_pwm_step_mode(self) -> None:
        """Switch the PWM output to step mode (set_pwm_step_mode)."""
        functions.set_pwm_step_mode(self.index)

    def set_relay(self, on: Union[int, bool]) -> None:
        """Switch the relay on or off, hardware 1.1 and 1.2 only (set_relay)."""
        functions.set_relay(self.index, on)

    def wait_until_ready(self, timeout: Optional[float], poll_interval: float = 0.01) -> None:
        """Poll isMotorReady until the motor is ready; TimeoutError after timeout seconds.

        timeout None waits without limit; the motor is asked at least once, also for 0.
        """
        limit = _checks.seconds("timeout", timeout)
        pause = _checks.seconds("poll_interval", poll_interval)
        if pause is None:
            raise TypeError("poll_interval must be a number of seconds, not None")
        deadline = None if limit is None else time.monotonic() + limit
        while not self.is_ready():
            if deadline is not None:
                remaining = deadline - time.monotonic()
                if remaining <= 0:
                    raise TimeoutError("unit {} not ready after {} s".format(self.index, timeout))
                pause = min(pause, remaining)
            time.sleep(pause)

    def info(self) -> companion.UnitInfo:
        """What the unit is: serial numbers, chip, hardware and firmware versions."""
        return companion.get_unit_info(self.index)

    def status(self) -> companion.MotorStatus:
        """Position, step mode and readiness, from one exchange."""
        return companion.get_motor_status(self.index)

    def settings(self) -> companion.Settings:
        """Every setting, read back from the unit."""
        return companion.Settings(motion=companion.read_motion_settings(self.index),
                                  motor=companion.read_motor_settings(self.index),
                                  move=companion.read_move_settings(self.index))

    def limits(self) -> companion.Limits:
        """What the unit accepts, by its hardware version."""
        return companion.get_limits(self.index)

    @contextlib.contextmanager
    def held(self) -> Iterator["Unit"]:
        """Keeps the unit open for the block, so that its calls take a few ms instead of 54 or more.

        The unit is released when the block ends, however it ends; ``with unit.held():`` is
        ``with unit:``.
        """
        with self:
            yield self
