"""One thread makes every library call of the server.

The library runs its calls one after another anyway; making them all on one thread lets the
server choose their order. The engine polls every unit it follows in rounds (one status
exchange on each held unit) and, between two polls, runs the requests the clients are waiting
for. Stop requests wait in their own queue, taken before any other request or poll, so a Stop
reaches its unit after at most the one call in progress.

A unit is followed by its serial number: the engine holds it through the library
(velmorHoldUnitBySerial), which pins its index to it, so that a call on that index reaches this
unit or none. When units that come or go move it to another index, or it is unplugged, the calls
there fail and the unit state says why: the engine lets the pin go and holds the unit where it is
listed now, at once, or looks for it every round while it is away or busy in another program.

What each poll finds goes out as a Snapshot to the unit's listener, on a publishing thread of
its own: a listener that waits (a Tango device pushing events takes the device's lock, which a
client's request may hold while it waits for the engine) never holds up the calls.
"""

import collections
import dataclasses
import os
import sys
import threading
import time
from typing import Callable, Dict, Optional

import velmorlib
from velmorlib import VelmorError, result_text

#: The shortest time between two polls of the same unit, in seconds, when the calls are quicker;
#: VELMOR_TANGO_POLL_MS sets another (0: poll without pause).
DEFAULT_ROUND_PERIOD = 0.04
#: How often the engine looks for a unit that is not attached or is busy in another program, in
#: seconds: a look at D2XX's list, well under a millisecond.
LOOK_PERIOD = 0.04
#: How long a unit that failed otherwise (no answer, a failed start-up) waits before the engine
#: tries it again, in seconds: each try costs the unit's time-outs.
LOOK_AGAIN_AFTER = 0.5

ON, OFF, MOVING, ALARM, FAULT = "ON", "OFF", "MOVING", "ALARM", "FAULT"

# Codes of the ready byte that mean neither ready, off nor moving: the unit holds the motor in
# a state of its own, reported as an alarm with the code's text.
_READY_OFF, _READY_ON, _READY_MOVING = 0, 1, 2


@dataclasses.dataclass(frozen=True)
class Snapshot:
    """A unit as the last poll found it."""

    state: str                       #: ON, OFF, MOVING, ALARM or FAULT
    status: str                      #: why, in words
    position: Optional[int] = None   #: full steps; None while the unit is not attached
    ready: bool = False
    sequence: int = 0                #: counts the polls of this unit, for ordering


@dataclasses.dataclass(frozen=True)
class Identity:
    """What the unit is, read when it is found."""

    serial_number: str
    hardware: str
    firmware: str


class UnitUnavailable(Exception):
    """A request for a unit that is not attached; the text says why."""


def state_of(status: velmorlib.MotorStatus):
    """The state and its words for one status exchange."""
    if status.ready == _READY_ON:
        return ON, "ready at position {}".format(status.position)
    if status.ready == _READY_OFF:
        return OFF, "the motor is off (position {})".format(status.position)
    if status.ready == _READY_MOVING:
        return MOVING, "moving, at position {}".format(status.position)
    return ALARM, "{} at position {}".format(result_text(status.move_gate), status.position)


class _Request:
    def __init__(self, serial: Optional[str], action: Callable, forget: bool = False):
        self.serial = serial        # None: a call not on one unit
        self.action = action
        self.forget = forget        # stop following the unit
        self.done = threading.Event()
        self.result = None
        self.error: Optional[BaseException] = None


class _FollowedUnit:
    def __init__(self, serial: str, listener: Callable[[Snapshot], None]):
        self.serial = serial
        self.listener = listener
        self.listed_serial: Optional[str] = None   # the USB serial, when the serial asked for is a stored one
        self.stored_serial_tried = False
        self.index: Optional[int] = None           # the index held (pinned to the unit)
        self.identity: Optional[Identity] = None
        self.snapshot = Snapshot(FAULT, "looking for the unit with serial number {}".format(serial))
        self.look_at = 0.0          # monotonic time of the next look for the unit
        self.looked = threading.Event()
        self.polls = 0
        self.refusal: Optional[str] = None   # the last request's refusal, until one succeeds


class _Publisher:
    """Hands snapshots to their listeners in order, on one thread of its own.

    While a listener waits, a unit's newer snapshot replaces its unsent one of the same state:
    positions may be skipped then, changes of state never.
    """

    def __init__(self):
        self._condition = threading.Condition()
        self._pending: "collections.deque[tuple]" = collections.deque()
        self._stopping = False
        self._thread = threading.Thread(target=self._run, name="velmor-publisher", daemon=True)
        self._thread.start()

    def publish(self, unit: _FollowedUnit, snapshot: Snapshot):
        with self._condition:
            if self._pending and self._pending[-1][0] is unit and self._pending[-1][1].state == snapshot.state:
                self._pending[-1] = (unit, snapshot)
            else:
                self._pending.append((unit, snapshot))
            self._condition.notify()

    def stop(self):
        with self._condition:
            self._stopping = True
            self._condition.notify()
        self._thread.join()

    def _run(self):
        while True:
            with self._condition:
                while not self._pending and not self._stopping:
                    self._condition.wait()
                if not self._pending:
                    return
                unit, snapshot = self._pending.popleft()
            try:
                unit.listener(snapshot)
            except Exception:  # a listener's failure must not stop the others' events
                pass


class Engine:
    """Polls the followed units and runs requests on one thread; see the module's text."""

    def __init__(self, round_period: float = DEFAULT_ROUND_PERIOD):
        self._round_period = round_period
        self._condition = threading.Condition()
        self._units: Dict[str, _FollowedUnit] = {}
        self._stops: "collections.deque[_Request]" = collections.deque()
        self._requests: "collections.deque[_Request]" = collections.deque()
        self._stopping = False
        self._publisher = _Publisher()
        velmorlib.initialise()
        # the default profile folders ($VELMOR_PROFILES): their travel limits hold for every move
        self.profiles = velmorlib.load_profiles()
        self._thread = threading.Thread(target=self._run, name="velmor-engine", daemon=True)
        self._thread.start()

    # --- called from any thread ---

    def follow(self, serial: str, listener: Callable[[Snapshot], None], first_look_within: float = 5.0):
        """Starts following the unit with this serial number (the USB one, or one stored in the unit); its snapshots go to listener.

        Returns once the engine has looked for the unit (its first use takes the unit's start-up
        handshake), or after first_look_within seconds.
        """
        unit = _FollowedUnit(serial, listener)
        with self._condition:
            if serial.casefold() in self._units:
                raise ValueError("the unit with serial number {} is served already".format(serial))
            self._units[serial.casefold()] = unit
            self._condition.notify()
        unit.looked.wait(first_look_within)

    def unfollow(self, serial: str):
        """Stops following the unit and lets it go."""
        self.run(serial, lambda index: None, forget=True)

    def snapshot(self, serial: str) -> Snapshot:
        with self._condition:
            return self._unit(serial).snapshot

    def identity(self, serial: str) -> Identity:
        with self._condition:
            unit = self._unit(serial)
            if unit.identity is None:
                raise UnitUnavailable(unit.snapshot.status)
            return unit.identity

    def refusal(self, serial: str) -> Optional[str]:
        with self._condition:
            return self._unit(serial).refusal

    def run(self, serial: str, action: Callable[[int], object], *, urgent: bool = False,
            forget: bool = False, timeout: float = 10.0):
        """Runs action(index) on the engine's thread and returns what it returns.

        urgent requests (Stop) go ahead of every waiting request and poll. The unit's status is
        polled right after the action, so that a command's effect shows in the state when the
        call returns. Raises what the action raised, UnitUnavailable when the unit is not attached.
        """
        request = _Request(serial, action, forget)
        with self._condition:
            self._unit(serial)
            (self._stops if urgent else self._requests).append(request)
            self._condition.notify()
        return self._wait(request, timeout)

    @staticmethod
    def _wait(request: "_Request", timeout: float):
        if not request.done.wait(timeout):
            raise TimeoutError("no answer within {} s".format(timeout))
        if request.error is not None:
            raise request.error
        return request.result

    def call(self, function: Callable[[], object], timeout: float = 10.0):
        """Runs function() on the engine's thread, between polls, and returns what it returns."""
        request = _Request(None, function)
        with self._condition:
            self._requests.append(request)
            self._condition.notify()
        return self._wait(request, timeout)

    def close(self):
        """Lets every unit go and ends the threads."""
        with self._condition:
            self._stopping = True
            self._condition.notify()
        self._thread.join()
        self._publisher.stop()

    # --- the engine's thread ---

    def _unit(self, serial: str) -> _FollowedUnit:
        unit = self._units.get(serial.casefold())
        if unit is None:
            raise KeyError("the unit with serial number {} is not followed".format(serial))
        return unit

    def _run(self):
        next_poll: Dict[str, float] = {}
        while True:
            self._run_requests()
            with self._condition:
                if self._stopping:
                    break
                due = [unit for unit in self._units.values()
                       if next_poll.get(unit.serial, 0.0) <= time.monotonic()]
                if not due:
                    wait = min([next_poll.get(unit.serial, 0.0) for unit in self._units.values()],
                               default=time.monotonic() + 1.0) - time.monotonic()
                    if wait > 0 and not self._stops and not self._requests:
                        self._condition.wait(wait)
                    continue
            for unit in due:
                if self._units.get(unit.serial.casefold()) is not unit:
                    continue  # no longer followed: a request between two polls let it go
                next_poll[unit.serial] = time.monotonic() + self._round_period
                self._poll(unit)
                self._run_requests()
        for unit in list(self._units.values()):
            self._let_go(unit)
        with self._condition:
            left = list(self._stops) + list(self._requests)
            self._stops.clear()
            self._requests.clear()
        for request in left:
            request.error = UnitUnavailable("the server is stopping")
            request.done.set()

    def _next_request(self) -> Optional[_Request]:
        with self._condition:
            if self._stops:
                return self._stops.popleft()
            if self._requests:
                return self._requests.popleft()
            return None

    def _run_requests(self):
        request = self._next_request()
        while request is not None:
            self._serve(request)
            request = self._next_request()

    def _serve(self, request: _Request):
        if request.serial is None:
            self._serve_call(request)
            return
        unit = self._units.get(request.serial.casefold())
        try:
            if request.forget:
                with self._condition:
                    self._units.pop(request.serial.casefold(), None)
                if unit is not None:
                    self._let_go(unit)
                return
            if unit is None:
                raise UnitUnavailable(self._why_unavailable(request.serial, unit))
            request.result = self._serve_on_unit(request, unit)
        except BaseException as error:  # handed to the waiting client
            request.error = error
        finally:
            request.done.set()

    def _serve_on_unit(self, request: _Request, unit: _FollowedUnit):
        if not self._find(unit) or not self._still_in_place(unit):
            raise UnitUnavailable(self._why_unavailable(request.serial, unit))
        try:
            result, refusal = request.action(unit.index), None
        except VelmorError as error:
            result, refusal = None, error
        if refusal is not None and self._away(unit) is not None:
            self._follow_elsewhere(unit)
            raise UnitUnavailable("the attached units changed during the request, which stopped there and reached no "
                                  "other unit: {}".format(_in_words(refusal)))
        unit.refusal = None if refusal is None else "{} refused: {}".format(_action_name(refusal), _in_words(refusal))
        if refusal is not None and refusal.code in (velmorlib.VELMOR_ERROR_DEVICE_INDEX,
                                                    velmorlib.VELMOR_ERROR_OPEN_FAILED):
            self._lose(unit, refusal)
        if not self._stops:  # a waiting Stop goes first; its own poll follows it
            self._poll(unit)
        if refusal is not None:
            raise refusal
        return result

    @staticmethod
    def _serve_call(request: _Request):
        try:
            request.result = request.action()
        except BaseException as error:  # handed to the waiting client
            request.error = error
        finally:
            request.done.set()

    @staticmethod
    def _why_unavailable(serial: str, unit: Optional[_FollowedUnit]) -> str:
        if unit is None:
            return "the unit with serial number {} is not served".format(serial)
        return "unit {} is not attached: {}".format(serial, unit.snapshot.status)

    def _find(self, unit: _FollowedUnit) -> bool:
        """Holds the unit with the followed serial number where it is listed; True when it is held."""
        if unit.index is not None:
            return True
        now = time.monotonic()
        if now < unit.look_at:
            return False
        index = None
        try:
            index = self._hold(unit)
            info = velmorlib.get_unit_info(index)
        except VelmorError as error:
            self._release_quietly(index)
            cheap = error.code in (velmorlib.VELMOR_ERROR_DEVICE_INDEX, velmorlib.VELMOR_ERROR_OPEN_FAILED,
                                   velmorlib.VELMOR_ERROR_SERIAL_NOT_FOUND)
            unit.look_at = now + (max(self._round_period, LOOK_PERIOD) if cheap else LOOK_AGAIN_AFTER)
            self._set(unit, Snapshot(FAULT, "unit {} is not available: {}".format(unit.serial, _in_words(error))))
            return False
        unit.index = index
        unit.identity = Identity(info.stored_serial_number, info.hardware, info.firmware)
        return True

    def _hold(self, unit: _FollowedUnit) -> int:
        """velmorHoldUnitBySerial for the unit: its index."""
        try:
            return velmorlib.hold_unit_by_serial(unit.listed_serial or unit.serial)
        except VelmorError as error:
            if error.code == velmorlib.VELMOR_ERROR_OPEN_FAILED and self._free_pin_of_a_unit_gone(unit):
                return velmorlib.hold_unit_by_serial(unit.listed_serial or unit.serial)
            if error.code != velmorlib.VELMOR_ERROR_SERIAL_NOT_FOUND or unit.stored_serial_tried:
                raise
            # Not listed under this USB serial number: it may be the serial number stored in the
            # unit's information page, looked up once (getDeviceIndex opens every unit).
            unit.stored_serial_tried = True
            listed = self._listed_serial_of(unit.serial)
            if listed is None:
                raise
            unit.listed_serial = listed
            return velmorlib.hold_unit_by_serial(listed)

    @staticmethod
    def _listed_serial_of(stored_serial: str) -> Optional[str]:
        try:
            info = velmorlib.get_unit_info(velmorlib.get_device_index(stored_serial))
        except VelmorError:
            return None
        return info.serial_number if info.stored_serial_number.casefold() == stored_serial.casefold() else None

    def _free_pin_of_a_unit_gone(self, unit: _FollowedUnit) -> bool:
        """When the unit is listed at an index that another followed unit's pin holds while that
        unit is away (unplugged, or moved since), lets that pin go (the other unit's next poll
        would) and returns True."""
        try:
            index = velmorlib.where_is_unit(unit.listed_serial or unit.serial)
            state = velmorlib.get_unit_state(index)
        except VelmorError:
            return False
        if not (state.held and state.held_unit_away):
            return False
        with self._condition:
            holders = [other for other in self._units.values() if other is not unit and other.index == index]
        for other in holders:
            self._follow_elsewhere(other)
        return bool(holders)

    @staticmethod
    def _away(unit: _FollowedUnit) -> Optional[velmorlib.UnitState]:
        """The state of the unit's index when the held unit is no longer listed there; else None.

        Asked after any failed call: a unit unplugged during an exchange fails it with the code of
        that exchange (12, ...), later calls there with 3 (1 beyond the listing).
        """
        if unit.index is None:
            return None
        try:
            state = velmorlib.get_unit_state(unit.index)
        except VelmorError:
            return None
        return state if state.held and state.held_unit_away else None

    def _follow_elsewhere(self, unit: _FollowedUnit) -> bool:
        """The unit has left its index: lets the pin go and holds the unit where it is listed now.

        True when it is held again; otherwise its snapshot says why and it is looked for each round.
        """
        self._let_go(unit)
        unit.look_at = 0.0
        return self._find(unit)

    def _still_in_place(self, unit: _FollowedUnit) -> bool:
        """Before a request: follows the unit if it has left its index since the last poll."""
        return self._away(unit) is None or self._follow_elsewhere(unit)

    def _poll(self, unit: _FollowedUnit):
        if not self._find(unit):
            return
        try:
            status = velmorlib.get_motor_status(unit.index)
        except VelmorError as error:
            if self._away(unit) is None:
                self._lose(unit, error)
                return
            if not self._follow_elsewhere(unit):
                return
            try:
                status = velmorlib.get_motor_status(unit.index)
            except VelmorError as again:
                self._lose(unit, again)
                return
        state, words = state_of(status)
        unit.polls += 1
        self._set(unit, Snapshot(state, words, status.position, status.is_ready, unit.polls))

    def _lose(self, unit: _FollowedUnit, error: VelmorError):
        """The unit stopped answering or cannot be opened: let it go and try it again later."""
        self._let_go(unit)
        unit.look_at = time.monotonic() + LOOK_AGAIN_AFTER
        self._set(unit, Snapshot(FAULT, "unit {} is gone or does not answer: {}".format(unit.serial,
                                                                                       _in_words(error))))

    def _let_go(self, unit: _FollowedUnit):
        if unit.index is not None:
            self._release_quietly(unit.index)
            unit.index = None

    @staticmethod
    def _release_quietly(index: Optional[int] = None):
        if index is None:
            return
        try:
            velmorlib.release_unit(index)
        except VelmorError:
            pass  # a unit that has gone is let go already

    def _set(self, unit: _FollowedUnit, snapshot: Snapshot):
        with self._condition:
            unit.snapshot = snapshot
        self._publisher.publish(unit, snapshot)
        unit.looked.set()


def _action_name(error: VelmorError) -> str:
    return error.function or "the request"


def _in_words(error: VelmorError) -> str:
    """The code's text and the error's reason: for code 3 what the unit state says (busy in another
    program, unplugged, ...), for a refused setting which value is outside the unit's range."""
    return error.text if not error.reason else "{}: {}".format(error.text, error.reason)


_shared: Optional[Engine] = None
_shared_lock = threading.Lock()


def shared_engine() -> Engine:
    """The server's one engine, started with the first device."""
    global _shared
    with _shared_lock:
        if _shared is None:
            period = os.environ.get("VELMOR_TANGO_POLL_MS")
            _shared = Engine(DEFAULT_ROUND_PERIOD if not period else max(0.0, float(period) / 1000))
            for problem in _shared.profiles.problems:
                print("VelmorTango: a profile is left out: {}".format(problem), file=sys.stderr)
        return _shared
