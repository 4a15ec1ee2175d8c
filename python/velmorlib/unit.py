"""One attached unit, addressed by its index."""

import contextlib
import time
from typing import Iterator

from . import _checks
from . import companion
from . import functions


class Unit:
    """A unit by its 1-based index, Unit(2), or by its serial number, Unit(serial="JXah00102").

    A serial number is looked up once, here (getDeviceIndex; VelmorError 28 if no unit has
    it). The index is not checked against the units attached: a call on a unit that is not
    there raises VelmorError 1.
    """

    def __init__(self, index=None, *, serial=None):
        if (index is None) == (serial is None):
            raise TypeError("Unit takes either an index or serial=, not both or neither")
        if serial is not None:
            index = functions.get_device_index(serial)
        self.index = _checks.int32("index", index)
        self.serial = serial

    def __repr__(self):
        if self.serial is not None:
            return "Unit({!r}, serial={!r})".format(self.index, self.serial)
        return "Unit({!r})".format(self.index)

    def on(self):
        functions.motor_on(self.index)

    def off(self):
        functions.motor_off(self.index)

    def stop(self):
        functions.stop_motor(self.index)

    def zero(self):
        functions.zero_motor_position(self.index)

    def move_to(self, position):
        functions.move_motor_absolute(self.index, position)

    def move_by(self, steps):
        functions.move_motor_relative(self.index, steps)

    def home(self):
        functions.move_motor_home(self.index)

    def position(self):
        return functions.get_absolute_position(self.index)

    def is_ready(self):
        return functions.is_motor_ready(self.index)

    def set_speed(self, speed, step_mode):
        functions.set_motor_speed(self.index, speed, step_mode)

    def set_acceleration(self, acceleration):
        functions.set_motor_acceleration(self.index, acceleration)

    def set_current(self, current, current_flag):
        functions.set_motor_current(self.index, current, current_flag)

    def set_backlash(self, enabled, direction, amount):
        functions.set_backlash_compensation(self.index, enabled, direction, amount)

    def set_home_settings(self, direction, home_flag_b, home_flag_a, home_value_a, home_value_b):
        functions.set_home_settings(self.index, direction, home_flag_b, home_flag_a, home_value_a, home_value_b)

    def set_limit_switches(self, input1, type1, input2, type2):
        functions.set_limit_switches(self.index, input1, type1, input2, type2)

    def set_pwm(self, value):
        functions.set_pwm(self.index, value)

    def set_pwm_step_mode(self):
        functions.set_pwm_step_mode(self.index)

    def set_relay(self, on):
        functions.set_relay(self.index, on)

    def wait_until_ready(self, timeout, poll_interval=0.01):
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

        The unit is released when the block ends, however it ends.
        """
        companion.hold_unit(self.index)
        try:
            yield self
        finally:
            companion.release_unit(self.index)
