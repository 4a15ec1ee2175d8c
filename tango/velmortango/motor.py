"""The Tango device of one unit: VelmorMotor."""

import functools
import re
import threading

import tango
import velmorlib
from tango import DevState, ErrSeverity, Except
from tango.server import Device, attribute, command, device_property
from velmorlib import VelmorError

from . import engine as engine_module
from .engine import UnitUnavailable

_STATES = {
    engine_module.ON: DevState.ON,
    engine_module.OFF: DevState.OFF,
    engine_module.MOVING: DevState.MOVING,
    engine_module.ALARM: DevState.ALARM,
    engine_module.FAULT: DevState.FAULT,
}

_INDEX_AT_END = re.compile(r"/(\d+)$")



def _reason(error: BaseException) -> str:
    if isinstance(error, VelmorError):
        return velmorlib.result_name(error.code) or "VELMOR_RESULT_{}".format(error.code)
    if isinstance(error, UnitUnavailable):
        return "VELMOR_UNIT_UNAVAILABLE"
    if isinstance(error, TimeoutError):
        return "VELMOR_TIMEOUT"
    if isinstance(error, velmorlib.ProfileError):
        return "VELMOR_BAD_PROFILE"
    if isinstance(error, OSError):
        return "VELMOR_FILE"
    return "VELMOR_BAD_ARGUMENT"


def _failures_in_words(method):
    """Turns the library's and the engine's failures into DevFailed: the reason is the result code's
    name, the description its text and, for a refused setting, which value is outside the unit's range."""

    @functools.wraps(method)
    def wrapper(self, *arguments):
        try:
            return method(self, *arguments)
        except (VelmorError, UnitUnavailable, TimeoutError, ValueError, TypeError, OSError) as error:
            Except.throw_exception(_reason(error), "unit {}: {}".format(self.serial or self.get_name(), error),
                                   "{}.{}".format(type(self).__name__, method.__name__), ErrSeverity.ERR)

    return wrapper


class VelmorMotor(Device):
    """One stepper-motor driver unit, found by its serial number wherever it is attached."""

    SerialNumber = device_property(
        dtype=str, default_value="",
        doc="The unit's serial number, as D2XX lists it (or as stored in the unit, where that differs). "
            "Empty: the unit whose index ends the device's name (velmor/motor/2: unit 2) when the "
            "device starts, followed by its serial number from then on.")

    serial = None
    _profile = velmorlib.Profile()   # positions in full steps until the unit's profile is read

    # --- life ---

    def init_device(self):
        super().init_device()
        self.serial = None
        self._pushed = (None, None)
        self._push_lock = threading.Lock()
        self._engine = engine_module.shared_engine()
        self.set_change_event("Position", True, False)
        self.set_change_event("State", True, False)
        try:
            serial = self.SerialNumber.strip() or self._serial_from_name()
            self._engine.follow(serial, self._publish)
        except (VelmorError, ValueError, TimeoutError) as error:
            self._init_failure = "no unit to serve: {}".format(error)
            return
        self._init_failure = None
        self.serial = serial
        self._set_ranges()

    def _set_ranges(self):
        """The unit's loaded profile and what it accepts as the attributes' properties: Position in
        the profile's unit within its travel limits, the settings within the unit's ranges."""
        try:
            self._profile = self._run(velmorlib.read_profile)
            limits = self._run(velmorlib.get_limits)
        except (VelmorError, UnitUnavailable, TimeoutError):
            return  # the unit is not there: the attributes keep their declared properties
        self._set_properties("Position", self._profile.travel_min, self._profile.travel_max, self._profile.unit)
        for name, lowest, highest in (("Current", limits.minimum_current, limits.maximum_current),
                                      ("Speed", 0, limits.largest_speed),
                                      ("StepMode", 0, limits.largest_step_mode),
                                      ("Acceleration", 0, limits.largest_acceleration),
                                      ("BacklashAmount", 0, limits.largest_backlash_amount),
                                      ("HomeValueA", 0, limits.largest_home_value),
                                      ("HomeValueB", 0, limits.largest_home_value)):
            self._set_properties(name, lowest, highest)

    def _set_properties(self, name, lowest, highest, unit=None):
        attribute = self.get_device_attr().get_w_attr_by_name(name)
        if lowest is not None:
            attribute.set_min_value(lowest)
        if highest is not None:
            attribute.set_max_value(highest)
        # Tango 9.3 stores set_properties in the database and crashes without one (-nodb): there
        # the unit stays the declared one
        if unit is not None and (tango.Util._UseDb or tango.Util._FileDb):
            properties = attribute.get_properties()
            properties.unit = unit
            attribute.set_properties(properties)

    def delete_device(self):
        if self.serial is not None:
            self._engine.unfollow(self.serial)
            self.serial = None

    def _serial_from_name(self) -> str:
        match = _INDEX_AT_END.search(self.get_name())
        if match is None:
            raise ValueError("the SerialNumber property is empty and the device name {} does not end in a "
                             "unit index".format(self.get_name()))
        index = int(match.group(1))
        return self._engine.call(lambda: velmorlib.get_unit_info(index).serial_number)

    # --- state ---

    def _snapshot(self) -> engine_module.Snapshot:
        if self.serial is None:
            return engine_module.Snapshot(engine_module.FAULT, self._init_failure or "not started")
        return self._engine.snapshot(self.serial)

    def dev_state(self):
        return _STATES[self._snapshot().state]

    def dev_status(self):
        words = self._snapshot().status
        refusal = self._engine.refusal(self.serial) if self.serial is not None else None
        return words if refusal is None else "{}; last request: {}".format(words, refusal)

    def _publish(self, snapshot: engine_module.Snapshot):
        """Pushes the change events of a poll (the engine's publishing thread)."""
        with self._push_lock:
            position, state = self._pushed
            if snapshot.position is not None and snapshot.position != position:
                self.push_change_event("Position", self._profile.to_units(snapshot.position))
                position = snapshot.position
            if snapshot.state != state:
                # pushed with a value, the State event would carry UNKNOWN: Tango takes it from set_state
                self.set_state(_STATES[snapshot.state])
                self.push_change_event("State")
                state = snapshot.state
            self._pushed = (position, state)

    # --- calls on the unit ---

    def _run(self, action, urgent=False):
        if self.serial is None:
            raise UnitUnavailable(self._init_failure or "not started")
        return self._engine.run(self.serial, action, urgent=urgent)

    def _identity(self) -> engine_module.Identity:
        if self.serial is None:
            raise UnitUnavailable(self._init_failure or "not started")
        return self._engine.identity(self.serial)

    # --- motion ---

    @attribute(dtype="float64", unit="steps",
               doc="Position in the unit of the unit's loaded profile (its 'unit' property; full steps without "
                   "one), within its travel limits (min_value, max_value); writing it starts a move to the nearest "
                   "full step there.")
    @_failures_in_words
    def Position(self):
        snapshot = self._snapshot()
        if snapshot.position is None:
            raise UnitUnavailable(snapshot.status)
        return self._profile.to_units(snapshot.position)

    @Position.write
    @_failures_in_words
    def Position(self, position):
        steps = self._profile.to_steps(position)
        self._run(lambda index: velmorlib.move_motor_absolute(index, steps))

    @attribute(dtype=bool, doc="True when the motor is ready for a move.")
    @_failures_in_words
    def Ready(self):
        snapshot = self._snapshot()
        if snapshot.position is None:
            raise UnitUnavailable(snapshot.status)
        return snapshot.ready

    @command
    @_failures_in_words
    def On(self):
        """Switches the motor on."""
        self._run(velmorlib.motor_on)

    @command
    @_failures_in_words
    def Off(self):
        """Switches the motor off."""
        self._run(velmorlib.motor_off)

    @command
    @_failures_in_words
    def Stop(self):
        """Stops the motor; goes ahead of every request and poll still waiting."""
        self._run(velmorlib.stop_motor, urgent=True)

    @command
    @_failures_in_words
    def Home(self):
        """Starts a move home."""
        self._run(velmorlib.move_motor_home)

    @command
    @_failures_in_words
    def Zero(self):
        """Makes the present position 0."""
        self._run(velmorlib.zero_motor_position)

    @command(dtype_in="int32", doc_in="steps to move by, either way")
    @_failures_in_words
    def MoveRelative(self, steps):
        """Starts a move by a number of full steps."""
        self._run(lambda index: velmorlib.move_motor_relative(index, steps))

    # --- settings ---

    def _motion(self) -> velmorlib.MotionSettings:
        return self._run(velmorlib.read_motion_settings)

    def _motor(self) -> velmorlib.MotorSettings:
        return self._run(velmorlib.read_motor_settings)

    def _move(self) -> velmorlib.MoveSettings:
        return self._run(velmorlib.read_move_settings)

    @attribute(dtype="int32", unit="steps/s", doc="Speed; the step rate is Speed times 2 to the power StepMode.")
    @_failures_in_words
    def Speed(self):
        return self._motion().speed

    @Speed.write
    @_failures_in_words
    def Speed(self, speed):
        self._run(lambda index: velmorlib.set_motor_speed(
            index, speed, velmorlib.read_motion_settings(index).step_mode))

    @attribute(dtype="int32", doc="Step mode: 0 is the finest.")
    @_failures_in_words
    def StepMode(self):
        return self._motion().step_mode

    @StepMode.write
    @_failures_in_words
    def StepMode(self, step_mode):
        self._run(lambda index: velmorlib.set_motor_speed(
            index, velmorlib.read_motion_settings(index).speed, step_mode))

    @attribute(dtype="int32", unit="steps/s^2", doc="Acceleration; 0 moves without a ramp.")
    @_failures_in_words
    def Acceleration(self):
        return self._motion().acceleration

    @Acceleration.write
    @_failures_in_words
    def Acceleration(self, acceleration):
        self._run(lambda index: velmorlib.set_motor_acceleration(index, acceleration))

    @attribute(dtype="int32", unit="mA", doc="Motor current.")
    @_failures_in_words
    def Current(self):
        return self._motor().current

    @Current.write
    @_failures_in_words
    def Current(self, current):
        self._run(lambda index: velmorlib.set_motor_current(
            index, current, velmorlib.read_motor_settings(index).current_flag))

    @attribute(dtype=bool, doc="Backlash compensation on or off.")
    @_failures_in_words
    def BacklashEnabled(self):
        return bool(self._move().backlash_enabled)

    @BacklashEnabled.write
    @_failures_in_words
    def BacklashEnabled(self, enabled):
        self._write_backlash(enabled=enabled)

    @attribute(dtype="int32", doc="Backlash compensation direction, 0 or 1.")
    @_failures_in_words
    def BacklashDirection(self):
        return self._move().backlash_direction

    @BacklashDirection.write
    @_failures_in_words
    def BacklashDirection(self, direction):
        self._write_backlash(direction=direction)

    @attribute(dtype="int32", unit="steps", doc="Backlash compensation amount.")
    @_failures_in_words
    def BacklashAmount(self):
        return self._move().backlash_amount

    @BacklashAmount.write
    @_failures_in_words
    def BacklashAmount(self, amount):
        self._write_backlash(amount=amount)

    def _write_backlash(self, **change):
        def write(index):
            now = velmorlib.read_move_settings(index)
            values = dict(enabled=bool(now.backlash_enabled), direction=now.backlash_direction,
                          amount=now.backlash_amount)
            values.update(change)
            velmorlib.set_backlash_compensation(index, values["enabled"], values["direction"], values["amount"])
        self._run(write)

    @attribute(dtype="int32", doc="Homing direction, 0 or 1.")
    @_failures_in_words
    def HomeDirection(self):
        return self._move().home_direction

    @HomeDirection.write
    @_failures_in_words
    def HomeDirection(self, direction):
        self._write_home(direction=direction)

    @attribute(dtype=bool, doc="Homing flag A.")
    @_failures_in_words
    def HomeFlagA(self):
        return bool(self._move().home_flag_a)

    @HomeFlagA.write
    @_failures_in_words
    def HomeFlagA(self, flag):
        self._write_home(flag_a=flag)

    @attribute(dtype=bool, doc="Homing flag B.")
    @_failures_in_words
    def HomeFlagB(self):
        return bool(self._move().home_flag_b)

    @HomeFlagB.write
    @_failures_in_words
    def HomeFlagB(self, flag):
        self._write_home(flag_b=flag)

    @attribute(dtype="int32", doc="Homing value A.")
    @_failures_in_words
    def HomeValueA(self):
        return self._move().home_value_a

    @HomeValueA.write
    @_failures_in_words
    def HomeValueA(self, value):
        self._write_home(value_a=value)

    @attribute(dtype="int32", doc="Homing value B.")
    @_failures_in_words
    def HomeValueB(self):
        return self._move().home_value_b

    @HomeValueB.write
    @_failures_in_words
    def HomeValueB(self, value):
        self._write_home(value_b=value)

    def _write_home(self, **change):
        def write(index):
            now = velmorlib.read_move_settings(index)
            values = dict(direction=now.home_direction, flag_b=bool(now.home_flag_b), flag_a=bool(now.home_flag_a),
                          value_a=now.home_value_a, value_b=now.home_value_b)
            values.update(change)
            velmorlib.set_home_settings(index, values["direction"], values["flag_b"], values["flag_a"],
                                        values["value_a"], values["value_b"])
        self._run(write)

    @command(dtype_in=("int32",), doc_in="[input1, type1, input2, type2]: input channels and their switch types")
    @_failures_in_words
    def SetLimitSwitches(self, values):
        """Sets the limit-switch inputs."""
        if len(values) != 4:
            raise ValueError("SetLimitSwitches takes 4 numbers (input1, type1, input2, type2), not {}".format(
                len(values)))
        input1, type1, input2, type2 = (int(value) for value in values)
        self._run(lambda index: velmorlib.set_limit_switches(index, input1, type1, input2, type2))

    @command(dtype_in="int32", doc_in="PWM value")
    @_failures_in_words
    def SetPWM(self, value):
        """Sets the PWM value."""
        self._run(lambda index: velmorlib.set_pwm(index, value))

    @command
    @_failures_in_words
    def SetPWMStepMode(self):
        """Sets the PWM step mode."""
        self._run(velmorlib.set_pwm_step_mode)

    @command(dtype_in=bool, doc_in="True: relay on")
    @_failures_in_words
    def SetRelay(self, on):
        """Switches the relay (hardware 1.1 and 1.2)."""
        self._run(lambda index: velmorlib.set_relay(index, on))

    # --- profiles ---

    @command(dtype_in=str, doc_in="the file to write the unit's profile to")
    @_failures_in_words
    def SaveProfile(self, path):
        """Writes the unit's profile, read from it, to a file on the server's machine."""
        self._run(velmorlib.read_profile).save(path)

    @command(dtype_in=str, doc_in="a profile file on the server's machine",
             dtype_out=str, doc_out="the report, JSON: per setting its outcome (applied, unchanged, fixed, refused, "
                                    "failed), reason and code")
    @_failures_in_words
    def ApplyProfile(self, path):
        """Writes the settings of a profile file that differ from the unit's; returns the report.

        A setting refused or failed is in the report; a file that cannot be taken, or one for
        another unit, fails with nothing written."""
        profile = velmorlib.Profile.load(path)
        return self._run(lambda index: velmorlib.apply_profile(index, profile)).text

    # --- identity ---

    @attribute(name="SerialNumber", dtype=str, doc="The unit's stored serial number.")
    @_failures_in_words
    def serial_number(self):
        return self._identity().serial_number

    @attribute(dtype=str, doc="Hardware version, major.minor.")
    @_failures_in_words
    def HardwareVersion(self):
        return self._identity().hardware

    @attribute(dtype=str, doc="Firmware version, major.minor.")
    @_failures_in_words
    def FirmwareVersion(self):
        return self._identity().firmware
