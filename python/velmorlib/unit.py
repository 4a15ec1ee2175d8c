"""One attached unit, by its index or by its serial number."""

import contextlib
import threading
import time
from types import TracebackType
from typing import Callable, Iterator, List, Optional, Tuple, Type, TypeVar, Union

from . import _checks
from . import _pins
from . import companion
from . import functions
from . import profiles
from .codes import VELMOR_ERROR_OPEN_FAILED, VELMOR_ERROR_SERIAL_NOT_FOUND
from .errors import VelmorError

_Result = TypeVar("_Result")


def _listed(serial: Union[str, bytes]) -> Tuple[bytes, int]:
    """The USB serial number D2XX lists for the unit with this serial number, and its index now."""
    data = _checks.serial_number(serial)
    try:
        return data, companion.where_is_unit(data)
    except VelmorError as error:
        if error.code != VELMOR_ERROR_SERIAL_NOT_FOUND:
            raise
    # No unit is listed under it: it may be the serial number stored in a unit's information
    # page (what getDeviceIndex matches), which can differ from the USB one. Opens every unit.
    index = functions.get_device_index(data)
    info = companion.get_unit_info(index)
    if info.stored_serial_number.casefold() != data.decode("latin-1").casefold():
        raise VelmorError(VELMOR_ERROR_SERIAL_NOT_FOUND, "getDeviceIndex",
                          reason="the attached units changed during the look-up")
    return info.serial_number.encode("latin-1"), index


class Unit:
    """A unit by its 1-based index, Unit(2), or by its serial number, Unit(serial="JXah00102").

    A unit by index addresses whatever unit is listed at that index; the index is not checked
    here: a call on a unit that is not there raises VelmorError 1.

    A unit by serial number is the unit with that USB serial number (any letter case; a serial
    number stored in the unit's information page that differs from it is looked up once, opening
    every unit). It must be listed when the Unit is made (VelmorError 28 otherwise). Each call
    reaches that unit wherever it is listed by then, as other units come and go, or none:
    outside a block the call holds the unit by its serial number for its length
    (velmorHoldUnitBySerial), and a unit that has gone raises VelmorError 28.

    As a context manager the unit is held while inside the block: ``with Unit(2) as unit:``
    opens it once (velmorHoldUnit, or velmorHoldUnitBySerial for a unit by serial number), every
    call in the block takes a few milliseconds instead of 54 or more, and no other program can
    open the unit meanwhile; leaving the block, however it ends, releases it. Entering raises
    VelmorError when the unit cannot be held (1, 3, 27, 28, ...). The block's index is pinned
    to the unit held: once the unit is unplugged, or other units that came or went moved it to
    another index, the calls in the block raise VelmorError 3 (or 1) whose .reason says so, and
    reach no other unit; they reach the unit again once it is listed at that index again.
    Blocks may nest and several threads may hold one unit: it is released when the last block
    on its index ends. initialise(), release_unit() and release_all_units() let go of held
    units at once; the calls of a block whose unit they let go raise VelmorError 3.
    """

    serial: Optional[Union[str, bytes]]

    def __init__(self, index: Optional[int] = None, *, serial: Optional[Union[str, bytes]] = None) -> None:
        if (index is None) == (serial is None):
            raise TypeError("Unit takes either an index or serial=, not both or neither")
        self.serial = serial
        self._blocks = threading.local()   # .pins: the pins of this thread's blocks, innermost last
        self._entered_lock = threading.Lock()
        self._entered: List[_pins.Pin] = []  # the pins of every thread's blocks, in the order entered
        self._listed_serial: Optional[bytes] = None
        if serial is None:
            self._index = _checks.int32("index", index)
        else:
            self._listed_serial, self._index = _listed(serial)

    def __repr__(self) -> str:
        if self.serial is not None:
            return "Unit({!r}, serial={!r})".format(self._index, self.serial)
        return "Unit({!r})".format(self._index)

    @property
    def index(self) -> int:
        """The index calls use: the one given; for a unit by serial number, the index its block
        holds, or outside a block the index it is listed at now (from D2XX's list, opening
        nothing; VelmorError 28 once it has gone)."""
        pins = self._block_pins()
        if self._listed_serial is None or pins:
            return pins[-1].index if pins else self._index
        try:
            self._index = companion.where_is_unit(self._listed_serial)
        except VelmorError as error:
            raise self._gone(error) from None
        return self._index

    def __enter__(self) -> "Unit":
        pin = _pins.hold_index(self._index) if self._listed_serial is None else self._hold_by_serial()
        self._block_pins().append(pin)
        with self._entered_lock:
            self._entered.append(pin)
        return self

    def __exit__(self, exception_type: Optional[Type[BaseException]], exception: Optional[BaseException],
                 traceback: Optional[TracebackType]) -> None:
        pins = self._block_pins()
        with self._entered_lock:
            if pins:
                pin = pins.pop()
                if pin not in self._entered:
                    return  # ended already, by another thread
                self._entered.remove(pin)
            elif self._entered:  # a block entered in another thread, ended in this one
                pin = self._entered.pop()
            else:
                return
        _pins.release(pin)

    def _block_pins(self) -> List[_pins.Pin]:
        pins: Optional[List[_pins.Pin]] = getattr(self._blocks, "pins", None)
        if pins is None:
            pins = self._blocks.pins = []
        return pins

    def _name(self) -> str:
        if self._listed_serial is None:
            return str(self._index)
        return self._listed_serial.decode("latin-1")

    def _gone(self, error: VelmorError) -> VelmorError:
        if error.code != VELMOR_ERROR_SERIAL_NOT_FOUND:
            return error
        return VelmorError(error.code, error.function,
                           reason="the unit {} was unplugged (it is no longer listed)".format(self._name()))

    def _hold_by_serial(self) -> _pins.Pin:
        assert self._listed_serial is not None
        try:
            pin = _pins.hold_serial(self._listed_serial)
        except VelmorError as error:
            raise self._gone(error) from None
        self._index = pin.index
        return pin

    def _call(self, function: Callable[..., _Result], *arguments: object) -> _Result:
        """function(index, *arguments) on this unit: through the block's pin, or held for the call."""
        pins = self._block_pins()
        if pins:
            pin = pins[-1]
            if pin.let_go:
                raise VelmorError(VELMOR_ERROR_OPEN_FAILED, reason=(
                    "the block's hold of unit {} at index {} was let go (release_unit, release_all_units "
                    "or initialise); nothing was sent".format(self._name(), pin.index)))
            return function(pin.index, *arguments)
        if self._listed_serial is None:
            return function(self._index, *arguments)
        pin = self._hold_by_serial()
        try:
            return function(pin.index, *arguments)
        finally:
            _pins.release(pin)

    def on(self) -> None:
        """Switch the motor on (motor_on)."""
        self._call(functions.motor_on)

    def off(self) -> None:
        """Switch the motor off (motor_off)."""
        self._call(functions.motor_off)

    def stop(self) -> None:
        """Stop the motor (stop_motor)."""
        self._call(functions.stop_motor)

    def zero(self) -> None:
        """Set the position counter to 0 (zero_motor_position)."""
        self._call(functions.zero_motor_position)

    def move_to(self, position: Union[int, float], units: bool = False) -> None:
        """Start a move to a position (move_motor_absolute): in whole full steps, or with units in
        the unit of the unit's loaded profile (read from it for the move, as profile() does),
        converted to the nearest full step (Profile.to_steps; without a loaded profile the unit
        is the full step). A target beyond the loaded profile's travel limits raises VelmorError
        21 and sends nothing."""
        if not units:
            self._call(functions.move_motor_absolute, position)
            return
        with self:
            steps = self.profile().to_steps(position)
            self._call(functions.move_motor_absolute, steps)

    def move_by(self, steps: int) -> None:
        """Start a move by a number of whole full steps (move_motor_relative)."""
        self._call(functions.move_motor_relative, steps)

    def home(self) -> None:
        """Start the move to the home position (move_motor_home)."""
        self._call(functions.move_motor_home)

    def position(self) -> int:
        """The position in whole full steps (get_absolute_position)."""
        return self._call(functions.get_absolute_position)

    def is_ready(self) -> bool:
        """True when the motor is ready (is_motor_ready)."""
        return self._call(functions.is_motor_ready)

    def set_speed(self, speed: int, step_mode: int) -> None:
        """Speed in steps per second and step mode (set_motor_speed)."""
        self._call(functions.set_motor_speed, speed, step_mode)

    def set_acceleration(self, acceleration: int) -> None:
        """Acceleration in steps per second squared, 0 for no ramp (set_motor_acceleration)."""
        self._call(functions.set_motor_acceleration, acceleration)

    def set_current(self, current: int, current_flag: Union[int, bool]) -> None:
        """Current in milliamperes and the current flag (set_motor_current)."""
        self._call(functions.set_motor_current, current, current_flag)

    def set_backlash(self, enabled: Union[int, bool], direction: int, amount: int) -> None:
        """Backlash compensation: direction 0 or 1, amount in steps (set_backlash_compensation)."""
        self._call(functions.set_backlash_compensation, enabled, direction, amount)

    def set_home_settings(self, direction: int, home_flag_b: Union[int, bool], home_flag_a: Union[int, bool],
                          home_value_a: int, home_value_b: int) -> None:
        """Homing: direction 0 or 1, values at most 10000 (set_home_settings)."""
        self._call(functions.set_home_settings, direction, home_flag_b, home_flag_a, home_value_a, home_value_b)

    def set_limit_switches(self, input1: int, type1: int, input2: int, type2: int) -> None:
        """Limit-switch inputs and their types 0 to 6 (set_limit_switches)."""
        self._call(functions.set_limit_switches, input1, type1, input2, type2)

    def set_pwm(self, value: int) -> None:
        """The PWM output value (set_pwm)."""
        self._call(functions.set_pwm, value)

    def set_pwm_step_mode(self) -> None:
        """Switch the PWM output to step mode (set_pwm_step_mode)."""
        self._call(functions.set_pwm_step_mode)

    def set_relay(self, on: Union[int, bool]) -> None:
        """Switch the relay on or off, hardware 1.1 and 1.2 only (set_relay)."""
        self._call(functions.set_relay, on)

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
                    raise TimeoutError("unit {} not ready after {} s".format(self._name(), timeout))
                pause = min(pause, remaining)
            time.sleep(pause)

    def info(self) -> companion.UnitInfo:
        """What the unit is: serial numbers, chip, hardware and firmware versions."""
        return self._call(companion.get_unit_info)

    def status(self) -> companion.MotorStatus:
        """Position, step mode and readiness, from one exchange."""
        return self._call(companion.get_motor_status)

    def settings(self) -> companion.Settings:
        """Every setting, read back from the unit (held for the three reads)."""
        with self:
            return companion.Settings(motion=self._call(companion.read_motion_settings),
                                      motor=self._call(companion.read_motor_settings),
                                      move=self._call(companion.read_move_settings))

    def limits(self) -> companion.Limits:
        """What the unit accepts, by its hardware version."""
        return self._call(companion.get_limits)

    def profile(self) -> profiles.Profile:
        """The unit's profile, read from it (read_profile): its settings, and the name, unit,
        steps per unit and travel limits of its loaded profile."""
        return self._call(profiles.read_profile)

    def apply(self, profile: profiles.Profile, fix: bool = False, dry_run: bool = False, any_unit: bool = False,
              check: bool = False) -> profiles.ApplyReport:
        """Writes the settings of profile that differ from the unit's and reports each (apply_profile).

        A setting refused or failed is in the report, not raised, unless check (ProfileNotApplied,
        carrying the report); VelmorError 21 for a profile naming another unit (unless any_unit),
        the code of a read that failed otherwise.
        """
        return self._call(lambda index: profiles.apply_profile(index, profile, fix=fix, dry_run=dry_run,
                                                               any_unit=any_unit, check=check))

    def diff(self, profile: profiles.Profile) -> Tuple[profiles.Difference, ...]:
        """The values of profile that the unit does not hold now (diff_profile); empty when none."""
        return self._call(profiles.diff_profile, profile)

    def position_in_units(self) -> float:
        """The position in the unit of the unit's loaded profile: the full steps, fractions of a
        step included, divided by its steps per unit (full steps without a loaded profile)."""
        with self:
            profile = self.profile()
            return profile.to_units(self._call(companion.get_motor_status).position_in_steps)

    @contextlib.contextmanager
    def held(self) -> Iterator["Unit"]:
        """Keeps the unit open for the block, so that its calls take a few ms instead of 54 or more.

        The unit is released when the block ends, however it ends; ``with unit.held():`` is
        ``with unit:``.
        """
        with self:
            yield self
