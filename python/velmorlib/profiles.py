"""Unit profiles: a unit's name, the physical unit its positions are given in with full steps per
that unit, travel limits in it, and its settings, as one versioned JSON document per unit keyed by
its USB serial number.

Profile reads and writes the documents; the library judges them (velmorDiffProfile parses each
one, so that a file the library would not take is refused here in the library's own words, with
its line). read_profile, apply_profile and diff_profile read a unit's profile, apply one with a
report per setting and compare one with the unit; load_profiles loads a folder of them, whose
travel limits then refuse every move beyond them with code 21.
"""

import ctypes
import dataclasses
import decimal
import json
import math
import os
import re
import tempfile
from typing import Any, Callable, Dict, List, Optional, Tuple, Union

from . import _checks
from . import _library
from .codes import VELMOR_ERROR_ARGUMENT
from .errors import VelmorError

#: The newest profile version this module writes (the library's "velmorlibProfile").
PROFILE_VERSION = 1

#: Flags of velmorApplyProfile.
PROFILE_FIX = 1
PROFILE_DRY_RUN = 2
PROFILE_ANY_UNIT = 4

# The top-level keys Profile names; any other is kept in Profile.extra and written back.
_KNOWN_KEYS = ("velmorlibProfile", "serialNumber", "name", "unit", "stepsPerUnit", "travel", "settings")

# A report names at most a handful of settings: this holds every one the library writes. The
# apply call is not repeated for a longer text (it would write the unit again).
_REPORT_CAPACITY = 64 * 1024
_FIRST_CAPACITY = 4 * 1024

_LINE = re.compile(r"^line (\d+): ")

PathLike = Union[str, "os.PathLike[str]"]


class ProfileError(ValueError):
    """A profile that cannot be taken: it does not parse, is of a newer version than the library
    reads, or holds a value of the wrong kind.

    .path is the file (None for a text), .line the line the library names (None when it names
    none), .why the library's words without the line; str() gives "PATH: line N: why".
    """

    def __init__(self, why: str, line: Optional[int] = None, path: Optional[str] = None) -> None:
        self.why = why
        self.line = line
        self.path = path
        where = "" if line is None else "line {}: ".format(line)
        super().__init__("{}{}{}".format("" if path is None else path + ": ", where, why))


def _problem(words: str, path: Optional[str]) -> ProfileError:
    """The library's "line N: why" as a ProfileError."""
    match = _LINE.match(words)
    if match is None:
        return ProfileError(words, None, path)
    return ProfileError(words[match.end():], int(match.group(1)), path)


def _line_of(data: bytes, offset: int) -> int:
    return 1 + data.count(b"\n", 0, offset)


def _text_call(call: Callable[[ctypes.Array[ctypes.c_char], int, Any], Any],
               capacity: int = _FIRST_CAPACITY) -> Tuple[int, str]:
    """Calls a profile function that writes text, again with a buffer of the size it needed
    while the first was short; its code and text."""
    while True:
        buffer = ctypes.create_string_buffer(capacity)
        needed = ctypes.c_uint32(0)
        code = int(call(buffer, capacity, ctypes.byref(needed)))
        if needed.value <= capacity:
            return code, buffer.value.decode("utf-8", "replace")
        capacity = needed.value


def _whole_numbers(value: Any) -> Any:
    """The settings with each whole number as an int (JSON gives 400.0 for what the library writes as 400)."""
    if isinstance(value, dict):
        return {key: _whole_numbers(item) for key, item in value.items()}
    if isinstance(value, float) and value.is_integer():
        return int(value)
    return value


@dataclasses.dataclass
class Profile:
    """A unit's profile (see "Unit profiles" in README).

    Every field may be left at its default, as every key but "velmorlibProfile" may be left out of
    the document: no serial number applies to any unit only with any_unit, "steps" with 1 step per
    unit converts nothing, no travel limit leaves that side free, and a setting left out of
    .settings is not written. .settings is the document's "settings" object as it stands
    ({"speed": 400, "backlash": {"enabled": 0, ...}, "limitSwitches": {...}, "pwm": 0, ...}).
    """

    serial_number: str = ""                 #: the unit's USB serial number, "" for none
    name: str = ""
    unit: str = "steps"                     #: the physical unit positions are given in
    steps_per_unit: float = 1.0             #: full steps in one unit; positive
    travel_min: Optional[float] = None      #: in the unit; None: no limit on that side
    travel_max: Optional[float] = None
    settings: Dict[str, Any] = dataclasses.field(default_factory=dict)
    #: the document's top-level keys this version does not name, kept as they were
    extra: Dict[str, Any] = dataclasses.field(default_factory=dict)

    @classmethod
    def from_json(cls, text: Union[str, bytes], path: Optional[str] = None) -> "Profile":
        """The profile a JSON document holds.

        The library parses it first (velmorDiffProfile), so that a document it would not take is
        refused with its words: ProfileError naming the line (and path, when given) for a
        document that does not parse, of a newer version, or holding a value of the wrong kind.
        """
        data = text.encode("utf-8") if isinstance(text, str) else bytes(text)
        if b"\0" in data:
            raise ProfileError("the text holds a NUL character", _line_of(data, data.index(b"\0")), path)
        code, report = _text_call(lambda buffer, capacity, needed: _library.load_library().velmorDiffProfile(
            0, data, buffer, capacity, needed))
        if code == VELMOR_ERROR_ARGUMENT:
            error = json.loads(report).get("error") if report else None
            if error is not None:
                raise _problem(error, path)
        try:
            document = json.loads(data.decode("utf-8"))
        except UnicodeDecodeError as failure:
            raise ProfileError("the text is not UTF-8", _line_of(data, failure.start), path) from None
        except json.JSONDecodeError as failure:
            raise ProfileError(failure.msg, failure.lineno, path) from None
        travel = document.get("travel") or {}
        profile = cls(serial_number=document.get("serialNumber", ""), name=document.get("name", ""),
                      unit=document.get("unit", "steps"), steps_per_unit=float(document.get("stepsPerUnit", 1)),
                      travel_min=None if travel.get("min") is None else float(travel["min"]),
                      travel_max=None if travel.get("max") is None else float(travel["max"]),
                      settings=_whole_numbers(document.get("settings", {})),
                      extra={key: value for key, value in document.items() if key not in _KNOWN_KEYS})
        return profile

    @classmethod
    def load(cls, path: PathLike) -> "Profile":
        """The profile in a file; ProfileError naming the file and line when it cannot be taken,
        OSError when it cannot be read."""
        name = os.fspath(path)
        with open(name, "rb") as file:
            return cls.from_json(file.read(), name)

    def to_dict(self) -> Dict[str, Any]:
        """The document as a dict, in the order the README shows its keys."""
        document: Dict[str, Any] = {"velmorlibProfile": PROFILE_VERSION}
        if self.serial_number:
            document["serialNumber"] = self.serial_number
        if self.name:
            document["name"] = self.name
        document["unit"] = self.unit
        document["stepsPerUnit"] = _number(self.steps_per_unit)
        if self.travel_min is not None or self.travel_max is not None:
            document["travel"] = {side: _number(value) for side, value in
                                  (("min", self.travel_min), ("max", self.travel_max)) if value is not None}
        document["settings"] = self.settings
        document.update(self.extra)
        return document

    def to_json(self) -> str:
        """The document as JSON text, indented, ending in a newline."""
        return json.dumps(self.to_dict(), indent=4, allow_nan=False) + "\n"

    def save(self, path: PathLike) -> None:
        """Writes the document to a file, replacing it whole: a reader never sees half of it."""
        name = os.fspath(path)
        text = self.to_json()
        folder = os.path.dirname(os.path.abspath(name))
        handle, temporary = tempfile.mkstemp(prefix=".profile-", suffix=".tmp", dir=folder)
        try:
            with os.fdopen(handle, "w", encoding="utf-8") as file:
                file.write(text)
            os.replace(temporary, name)
        except BaseException:
            os.unlink(temporary)
            raise

    def to_steps(self, value: float) -> int:
        """A position in the profile's unit as full steps: the nearest full step to value times
        steps_per_unit (a half step away from zero), computed on the decimal numbers as written,
        so that 2.3 mm at 200 steps/mm is 460 steps. TypeError for a value that is no number,
        ValueError for one that is not finite."""
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise TypeError("a position must be a number, not {}".format(type(value).__name__))
        if not math.isfinite(value):
            raise ValueError("a position must be finite, not {}".format(value))
        product = decimal.Decimal(repr(value)) * decimal.Decimal(repr(self.steps_per_unit))
        return int(product.to_integral_value(rounding=decimal.ROUND_HALF_UP))

    def to_units(self, steps: float) -> float:
        """A position in full steps in the profile's unit."""
        return steps / self.steps_per_unit


def _number(value: float) -> Union[int, float]:
    """A whole float as an int, so that the document reads 200 and not 200.0."""
    return int(value) if isinstance(value, float) and value.is_integer() else value


@dataclasses.dataclass(frozen=True)
class SettingOutcome:
    """What applying a profile did with one setting (the values one export writes together)."""

    setting: str            #: "speed", "acceleration", "current", "backlash", "home", "limitSwitches", "pwm", "relay", "pwmStepMode"
    outcome: str            #: "applied", "unchanged", "fixed", "refused" or "failed"
    profile: Dict[str, int]  #: the values asked for, the unit's filling those the profile leaves out
    written: Optional[Dict[str, int]]  #: fixed: the nearest values the unit accepts, written instead
    reason: str             #: refused: the unit's range; fixed: why the values were fixed; failed: the code's text
    code: int               #: refused or failed: the result code; else 0


@dataclasses.dataclass(frozen=True)
class ApplyReport:
    """The report of apply_profile: one SettingOutcome per setting the profile names, in the order
    the unit takes them."""

    serial_number: str
    settings: Tuple[SettingOutcome, ...]
    code: int               #: 0 when every setting applied, stayed or was fixed; else the first refused or failed one's
    dry_run: bool           #: nothing was written: the outcomes are what would be
    text: str               #: the library's report, JSON

    def __getitem__(self, setting: str) -> SettingOutcome:
        """The outcome of a setting by its name; KeyError when the profile did not name it."""
        for entry in self.settings:
            if entry.setting == setting:
                return entry
        raise KeyError(setting)

    @property
    def ok(self) -> bool:
        """True when every setting applied, stayed or was fixed."""
        return self.code == 0

    def outcomes(self) -> Dict[str, str]:
        """{setting: outcome} of every setting reported."""
        return {entry.setting: entry.outcome for entry in self.settings}

    def not_applied(self) -> Tuple[SettingOutcome, ...]:
        """The settings refused or failed."""
        return tuple(entry for entry in self.settings if entry.outcome in ("refused", "failed"))

    def __str__(self) -> str:
        lines = []
        for entry in self.settings:
            line = "{}: {}".format(entry.setting, entry.outcome)
            if entry.written is not None:
                line += " to " + ", ".join("{} {}".format(key, value) for key, value in entry.written.items())
            if entry.reason:
                line += " ({})".format(entry.reason)
            lines.append(line)
        return "\n".join(lines)


class ProfileNotApplied(VelmorError):
    """apply_profile(check=True) found a setting refused or failed: .code is the first one's
    result code, .reason names each, .report is the whole ApplyReport (what was applied too)."""

    report: Optional[ApplyReport] = None


@dataclasses.dataclass(frozen=True)
class Difference:
    """A value of a profile that the unit does not hold now."""

    setting: str            #: the setting and its value: "current.current", "backlash.amount", "pwm.pwm"
    profile: int
    unit: Optional[int]     #: None: a value only a write sets that this process never wrote


@dataclasses.dataclass(frozen=True)
class ProfilesLoaded:
    """The report of load_profiles."""

    folders: Tuple[str, ...]    #: the folders read, in order
    loaded: Tuple[str, ...]     #: the files loaded
    problems: Tuple[str, ...]   #: each file left out: "PATH: line N: why"


def _document(text: str) -> Dict[str, Any]:
    document: Dict[str, Any] = json.loads(text) if text else {}
    return document


def read_profile(device_index: int) -> Profile:
    """The profile of the unit at device_index, read from it (velmorReadProfile): the settings it
    reads back, those only a write sets as last applied in this process or loaded, and the name,
    unit, steps per unit and travel limits of its loaded profile (else "steps", 1 step per unit,
    no limits). VelmorError with the code of a read that failed."""
    index = _checks.int32("device_index", device_index)
    code, text = _text_call(lambda buffer, capacity, needed: _library.load_library().velmorReadProfile(
        index, buffer, capacity, needed))
    if code != 0:
        raise VelmorError(code, "velmorReadProfile", device_index=index)
    return Profile.from_json(text)


def apply_profile(device_index: int, profile: Profile, *, fix: bool = False, dry_run: bool = False,
                  any_unit: bool = False, check: bool = False) -> ApplyReport:
    """Writes the settings of profile that differ from what the unit holds (velmorApplyProfile)
    and reports each: applied, unchanged, fixed, refused or failed.

    fix writes the nearest value the unit accepts instead of refusing one it does not; dry_run
    writes nothing and reports what would be; any_unit applies a profile naming another unit's
    serial number. A setting refused or failed is in the report (.code, .not_applied()), not
    raised, unless check: then ProfileNotApplied (a VelmorError) carrying the report. VelmorError
    when nothing was applied: 21 for a profile the unit cannot take (it names another unit), with
    the library's words as .reason; the code of a read that failed.
    """
    index = _checks.int32("device_index", device_index)
    if not isinstance(profile, Profile):
        raise TypeError("profile must be a Profile, not {}".format(type(profile).__name__))
    flags = (PROFILE_FIX if fix else 0) | (PROFILE_DRY_RUN if dry_run else 0) | (PROFILE_ANY_UNIT if any_unit else 0)
    data = profile.to_json().encode("utf-8")
    code, text = _text_call(lambda buffer, capacity, needed: _library.load_library().velmorApplyProfile(
        index, data, flags, buffer, capacity, needed), _REPORT_CAPACITY)
    document = _document(text)
    if "error" in document:
        raise VelmorError(code, "velmorApplyProfile", reason=document["error"])
    if "settings" not in document:
        raise VelmorError(code, "velmorApplyProfile", device_index=index)
    report = ApplyReport(
        serial_number=document.get("serialNumber", ""), code=code, dry_run=dry_run, text=text,
        settings=tuple(SettingOutcome(setting=entry["setting"], outcome=entry["outcome"],
                                      profile=_whole_numbers(entry.get("profile", {})),
                                      written=_whole_numbers(entry["written"]) if "written" in entry else None,
                                      reason=entry.get("reason", ""), code=entry.get("code", 0))
                       for entry in document["settings"]))
    if check and code != 0:
        error = ProfileNotApplied(code, "velmorApplyProfile", reason="; ".join(
            "{} {}{}".format(entry.setting, entry.outcome, ": " + entry.reason if entry.reason else "")
            for entry in report.not_applied()))
        error.report = report
        raise error
    return report


def diff_profile(device_index: int, profile: Profile) -> Tuple[Difference, ...]:
    """The values of profile that the unit does not hold now (velmorDiffProfile); empty when it
    holds them all. VelmorError with the code of a read that failed."""
    index = _checks.int32("device_index", device_index)
    if not isinstance(profile, Profile):
        raise TypeError("profile must be a Profile, not {}".format(type(profile).__name__))
    data = profile.to_json().encode("utf-8")
    code, text = _text_call(lambda buffer, capacity, needed: _library.load_library().velmorDiffProfile(
        index, data, buffer, capacity, needed))
    document = _document(text)
    if code != 0:
        raise VelmorError(code, "velmorDiffProfile", device_index=index, reason=document.get("error"))
    return tuple(Difference(setting=entry["setting"], profile=_whole_numbers(entry["profile"]),
                            unit=None if entry["unit"] == "unknown" else _whole_numbers(entry["unit"]))
                 for entry in document.get("settings", []))


def load_profiles(folder: Optional[PathLike] = None) -> ProfilesLoaded:
    """Loads every *.json profile of folder, or without one of the default folders
    (velmorLoadProfiles): $VELMOR_PROFILES alone ("off": none), else velmorlib/units in the
    user's configuration folder, then /etc/velmorlib/units, the user's profile of a unit winning.

    The profiles loaded replace those loaded before. From then on the travel limits of a loaded
    profile refuse every move of its unit beyond them in this process (VelmorError 21, nothing
    sent), and read_profile gives its name, unit and steps per unit. A file left out is never half
    taken: ProfilesLoaded.problems says why, with its line.
    """
    if folder is None:
        name: Optional[bytes] = None
    else:
        name = os.fsencode(folder)
        if b"\0" in name:
            raise ValueError("folder {!r} holds a NUL character".format(folder))
    code, text = _text_call(lambda buffer, capacity, needed: _library.load_library().velmorLoadProfiles(
        name, buffer, capacity, needed))
    if code != 0:
        raise VelmorError(code, "velmorLoadProfiles")
    document = _document(text)
    return ProfilesLoaded(folders=tuple(document.get("folders", [])), loaded=tuple(document.get("loaded", [])),
                          problems=tuple(document.get("problems", [])))


__all__: List[str] = [
    "PROFILE_VERSION", "PROFILE_FIX", "PROFILE_DRY_RUN", "PROFILE_ANY_UNIT", "ApplyReport", "Difference", "Profile",
    "ProfileError", "ProfileNotApplied", "ProfilesLoaded", "SettingOutcome", "apply_profile", "diff_profile",
    "load_profiles", "read_profile",
]
