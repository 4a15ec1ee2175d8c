"""One thread makes every library call of the server.

The library runs its calls one after another anyway; making them all on one thread lets the
server choose their order. The engine polls every unit it follows in rounds (one status
exchange on each held unit) and, between two polls, runs the requests the clients are waiting
for. Stop requests wait in their own queue, taken before any other request or poll, so a Stop
reaches its unit after at most the one call in progress.

A unit is followed by its stored serial number: the engine finds its index, holds it, checks
that the held unit is the one asked for, and finds it anew whenever a call says it has gone
(units that come and go change the indexes of the others).

What each poll finds goes out as a Snapshot to the unit's listener, on a publishing thread of
its own: a listener that waits (a Tango device pushing events takes the device's lock, which a
client's request may hold while it waits for the engine) never holds up the calls.
"""

import collections
import dataclasses
import os
import threading
import time
from typing import Callable, Dict, Optional

import velmorlib
from velmorlib import VelmorError, result_text

#: The shortest time between two polls of the same unit, in seconds, when the calls are quicker;
#: VELMOR_TANGO_POLL_MS sets another (0: poll without pause).
DEFAULT_ROUND_PERIOD = 0.04
#: How long a unit that is not attached waits before the engine looks for it again, in seconds.
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
        self.index: Optional[int] = None
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
        self._count: Optional[int] = None   # units attached at the last look
        self._publisher = _Publisher()
        velmorlib.initialise()
        self._thread = threading.Thread(target=self._run, name="velmor-engine", daemon=True)
        self._thread.start()

    # --- called from any thread ---

    def follow(self, serial: str, listener: Callable[[Snapshot], None], first_look_within: float = 5.0):
        """Starts following the unit with this stored serial number; its snapshots go to listener.

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
        self._units_changed()
        if not self._find(unit):
            raise UnitUnavailable(self._why_unavailable(request.serial, unit))
        try:
            result, refusal = request.action(unit.index), None
        except VelmorError as error:
            result, refusal = None, error
        if self._units_changed():
            raise UnitUnavailable("the attached units changed during the request: it may have reached another "
                                  "unit than {}".format(unit.serial))
        unit.refusal = None if refusal is None else "{} refused: {}".format(_action_name(refusal), refusal.text)
        if refusal is not None and refusal.code in (velmorlib.VELMOR_ERROR_DEVICE_INDEX,
                                                    velmorlib.VELMOR_ERROR_OPEN_FAILED):
            self._lose(unit, refusal)
        if not self._stops:  # a waiting Stop goes first; its own poll follows it
            self._poll(unit)
        if refusal is not None:
            raise refusal
        return result

    def _units_changed(self) -> bool:
        """True when the number of attached units changed since the last look.

        Every index may have moved then, and a call on a held unit's index that finds another unit
        there goes on with that unit: every unit is let go and found anew by its serial number.
        """
        try:
            count = velmorlib.get_device_count()  # a look at the listing, well under a millisecond
        except VelmorError:
            count = None
        changed = count != self._count
        self._count = count
        if changed:
            for unit in self._units.values():
                self._let_go(unit)
                unit.look_at = 0.0
        return changed

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
        """Holds the unit with the followed serial number; True when it is held."""
        if unit.index is not None:
            return True
        if time.monotonic() < unit.look_at:
            return False
        unit.look_at = time.monotonic() + LOOK_AGAIN_AFTER
        index = None
        try:
            index = velmorlib.get_device_index(unit.serial)
            velmorlib.hold_unit(index)
            info = velmorlib.get_unit_info(index)
        except VelmorError as error:
            self._release_quietly(index)
            self._set(unit, Snapshot(FAULT, "unit {} is not available: {}".format(unit.serial, error.text)))
            return False
        if info.stored_serial_number.casefold() != unit.serial.casefold():
            # the units changed between the look-up and the hold: look again next round
            self._release_quietly(index)
            unit.look_at = 0.0
            return False
        unit.index = index
        unit.identity = Identity(info.stored_serial_number, info.hardware, info.firmware)
        return True

    def _poll(self, unit: _FollowedUnit):
        self._units_changed()
        if not self._find(unit):
            return
        try:
            status = velmorlib.get_motor_status(unit.index)
        except VelmorError as error:
            if not self._units_changed():
                self._lose(unit, error)
            return
        if self._units_changed():
            return  # the status may be another unit's: the next poll finds the unit first
        state, words = state_of(status)
        unit.polls += 1
        self._set(unit, Snapshot(state, words, status.position, status.is_ready, unit.polls))

    def _lose(self, unit: _FollowedUnit, error: VelmorError):
        """The unit stopped answering or has gone: let it go and look for it again soon."""
        self._release_quietly(unit.index)
        unit.index = None
        unit.look_at = time.monotonic() + LOOK_AGAIN_AFTER
        self._set(unit, Snapshot(FAULT, "unit {} is gone or does not answer: {}".format(unit.serial, error.text)))

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


_shared: Optional[Engine] = None
_shared_lock = threading.Lock()


def shared_engine() -> Engine:
    """The server's one engine, started with the first device."""
    global _shared
    with _shared_lock:
        if _shared is None:
            period = os.environ.get("VELMOR_TANGO_POLL_MS")
            _shared = Engine(DEFAULT_ROUND_PERIOD if not period else max(0.0, float(period) / 1000))
        return _shared
