"""Unit profiles: Profile's documents, a unit's profile read, applied with a report per setting and
compared, files the library cannot take, travel limits and positions in a profile's unit."""

import json
import os

import pytest

import velmorlib
from velmorlib import Profile, ProfileError, ProfileNotApplied, Unit, VelmorError
from conftest import SERIALS


@pytest.fixture
def profiles(bench, tmp_path):
    """A folder to write profiles into; the library's loaded profiles are none again when the test ends."""
    folder = tmp_path / "units"
    folder.mkdir()
    yield folder
    empty = tmp_path / "empty"
    empty.mkdir()
    assert velmorlib.load_profiles(empty).loaded == ()


def write_profile(folder, serial, **document):
    document = dict({"velmorlibProfile": 1, "serialNumber": serial}, **document)
    path = folder / "{}.json".format(serial)
    path.write_text(json.dumps(document, indent=4))
    return path


def setting(unit, name):
    return unit.profile().settings[name]


# --- reading, applying and comparing ---

def test_write_only_settings_are_unknown_to_a_diff_until_written(profiles):
    # first in this file: no test before it has written unit 1's relay in this process
    with Unit(serial=SERIALS[0]) as unit:
        wanted = Profile(serial_number=SERIALS[0], settings={"relay": 1, "current": 1300})
        assert {(d.setting, d.profile, d.unit) for d in unit.diff(wanted)} == {
            ("relay.relay", 1, None), ("current.current", 1300, unit.settings().motor.current)}
        assert unit.apply(wanted).outcomes() == {"current": "applied", "relay": "applied"}
        assert unit.diff(wanted) == ()
        assert unit.profile().settings["relay"] == 1


# A profile each unit of the bench takes whole: hardware 10.1 has no relay and at most 500 mA.
FULL_SETTINGS = {
    "speed": 900, "stepMode": 2, "acceleration": 500, "current": 450, "currentFlag": 1,
    "backlash": {"enabled": 1, "direction": 1, "amount": 12},
    "home": {"direction": 1, "flagA": 1, "flagB": 0, "valueA": 100, "valueB": 200},
    "limitSwitches": {"input1": 2, "type1": 3, "input2": 1, "type2": 6},
    "pwm": 40,
}


@pytest.mark.parametrize("serial", SERIALS)
def test_a_profile_read_from_each_unit_goes_back_to_it_unchanged(profiles, tmp_path, serial):
    with Unit(serial=serial) as unit:
        settings = dict(FULL_SETTINGS, **({"relay": 1} if unit.limits().has_relay else {}))
        wanted = Profile(serial_number=serial, name="stage", settings=settings)
        first = unit.apply(wanted)
        assert first.ok and set(first.outcomes().values()) <= {"applied", "unchanged"}, str(first)

        read = unit.profile()
        assert (read.serial_number, read.unit, read.steps_per_unit, read.travel_min, read.travel_max) == (
            serial, "steps", 1.0, None, None)
        assert read.settings == settings
        assert Profile.from_json(read.to_json()) == read
        read.save(tmp_path / "saved.json")
        assert Profile.load(tmp_path / "saved.json") == read

        assert unit.diff(read) == ()
        again = unit.apply(Profile.load(tmp_path / "saved.json"))
        assert again.ok and set(again.outcomes().values()) == {"unchanged"}, str(again)


# settings to apply to unit 2 (hardware 1.2: 50 to 8000 mA), fix, the setting's outcome, what was
# written instead, words of the reason, the report's code, the unit's current afterwards
OUTCOMES = [
    ({"current": 9000}, False, "refused", None, "9000 mA is above the 8000 mA maximum", 21, 1000),
    ({"current": 9000}, True, "fixed", {"current": 8000, "currentFlag": 0}, "9000 mA is above", 0, 8000),
    ({"current": 10}, True, "fixed", {"current": 50, "currentFlag": 0}, "below", 0, 50),
    ({"current": 1200}, False, "applied", None, "", 0, 1200),
    ({"current": 1000}, False, "unchanged", None, "", 0, 1000),
]


@pytest.mark.parametrize("settings, fix, outcome, written, reason, code, current", OUTCOMES)
def test_each_setting_is_reported_applied_fixed_refused_or_unchanged(profiles, settings, fix, outcome, written,
                                                                      reason, code, current):
    with Unit(serial=SERIALS[1]) as unit:
        unit.set_current(1000, 0)
        report = unit.apply(Profile(serial_number=SERIALS[1], settings=settings), fix=fix)
        entry = report["current"]
        assert (entry.outcome, entry.written, entry.code, report.code) == (outcome, written, code, code)
        assert reason in entry.reason
        assert unit.settings().motor.current == current
        assert report.serial_number == SERIALS[1] and json.loads(report.text)["settings"]


def test_a_dry_run_reports_what_would_be_and_writes_nothing(profiles):
    with Unit(serial=SERIALS[1]) as unit:
        unit.set_current(1000, 0)
        report = unit.apply(Profile(settings={"current": 9000, "acceleration": 700}), fix=True, dry_run=True)
        assert report.dry_run and report.outcomes() == {"acceleration": "applied", "current": "fixed"}
        assert unit.settings().motor.current == 1000
        assert unit.diff(Profile(settings={"acceleration": 700}))


def test_refusals_are_raised_only_when_checked_and_the_rest_is_applied_still(profiles):
    with Unit(serial=SERIALS[2]) as unit:  # hardware 10.1: no relay, at most 500 mA
        wanted = Profile(serial_number=SERIALS[2], settings={"relay": 1, "current": 400, "pwm": 30})
        report = unit.apply(wanted, fix=True)  # a missing relay is no value to fix
        assert (report.code, report.outcomes()["relay"], report["relay"].reason) == (
            21, "refused", "this unit has no relay")
        assert [entry.setting for entry in report.not_applied()] == ["relay"]
        with pytest.raises(ProfileNotApplied) as raised:
            unit.apply(wanted, check=True)
        assert isinstance(raised.value, VelmorError) and raised.value.code == 21
        assert raised.value.reason == "relay refused: this unit has no relay"
        assert raised.value.report is not None and raised.value.report.outcomes() == {
            "current": "unchanged", "pwm": "unchanged", "relay": "refused"}


def test_a_profile_for_another_unit_is_applied_in_no_part_unless_any_unit(profiles):
    with Unit(serial=SERIALS[1]) as unit:
        unit.set_current(1000, 0)
        other = Profile(serial_number=SERIALS[0], settings={"current": 1500})
        with pytest.raises(VelmorError) as raised:
            unit.apply(other)
        assert raised.value.code == 21
        assert raised.value.reason == "the profile is for unit {}, not for {} at index 2".format(*SERIALS[:2])
        assert unit.settings().motor.current == 1000
        assert unit.apply(other, any_unit=True).outcomes() == {"current": "applied"}
        assert unit.settings().motor.current == 1500


# --- files the library cannot take ---

# file text, the line named, the library's words
DAMAGED = [
    ('{\n    "velmorlibProfile": 1,\n    "name": "X",\n}\n', 4, "missing"),
    ('{\n    "velmorlibProfile": 2,\n    "name": "X"\n}\n', 2, "version 2 is newer than this library reads (1)"),
    ('{\n    "name": "X"\n}\n', 1, '"velmorlibProfile" is missing or not a version number'),
    ('{\n    "velmorlibProfile": 1,\n    "stepsPerUnit": -3\n}\n', 3, '"stepsPerUnit" is not a positive number'),
    ('{\n    "velmorlibProfile": 1,\n    "settings": {\n        "current": "high"\n    }\n}\n', 4,
     '"current" is not a whole number'),
    ('{\n    "velmorlibProfile": 1,\n    "travel": {"min": 5, "max": 1}\n}\n', 3, 'travel "min" lies above "max"'),
    ('[1, 2]', 1, "a profile is a JSON object"),
    ('{"velmorlibProfile": 1,\n "name": "a\0b"}', 2, "the text holds a NUL character"),
]


@pytest.mark.parametrize("text, line, words", DAMAGED)
def test_a_file_that_cannot_be_taken_names_its_path_and_line(profiles, text, line, words):
    path = profiles / "bad.json"
    path.write_text(text)
    with pytest.raises(ProfileError) as raised:
        Profile.load(path)
    assert (raised.value.path, raised.value.line) == (str(path), line)
    assert words in raised.value.why
    assert str(raised.value).startswith("{}: line {}: ".format(path, line))
    if "\0" not in text:  # the library's loader says the same of it
        write_profile(profiles, SERIALS[0], name="good")
        loaded = velmorlib.load_profiles(profiles)
        assert loaded.folders == (str(profiles),) and loaded.loaded == (str(profiles / (SERIALS[0] + ".json")),)
        assert loaded.problems == ("{}: line {}: {}".format(path, line, raised.value.why),)


def test_keys_this_version_does_not_name_are_kept_and_written_back(tmp_path):
    path = tmp_path / "unit.json"
    path.write_text('{"velmorlibProfile": 1, "unit": "mm", "stepsPerUnit": 2.5, "travel": {"max": 3},'
                    ' "comment": {"by": "lab"}}')
    profile = Profile.load(path)
    assert (profile.unit, profile.steps_per_unit, profile.travel_min, profile.travel_max) == ("mm", 2.5, None, 3.0)
    assert profile.extra == {"comment": {"by": "lab"}}
    profile.save(path)
    assert json.loads(path.read_text())["comment"] == {"by": "lab"}
    assert Profile.load(path) == profile
    assert os.listdir(str(tmp_path)) == ["unit.json"]  # the save's temporary file is gone


# --- travel limits and positions in a profile's unit ---

def fast_at_zero(unit):
    unit.on()
    unit.set_speed(2000, 0)
    unit.set_acceleration(0)
    unit.zero()


def test_a_move_beyond_the_travel_limits_is_refused_and_nothing_moves(profiles, bench):
    write_profile(profiles, SERIALS[1], name="X stage", unit="mm", stepsPerUnit=10, travel={"min": -1, "max": 12})
    assert velmorlib.load_profiles(profiles).problems == ()
    with Unit(serial=SERIALS[1]) as unit:
        fast_at_zero(unit)
        profile = unit.profile()
        assert (profile.name, profile.unit, profile.steps_per_unit, profile.travel_min, profile.travel_max) == (
            "X stage", "mm", 10.0, -1.0, 12.0)
        for move in (lambda: unit.move_to(12.1, units=True), lambda: unit.move_to(121),
                     lambda: unit.move_by(-11), lambda: unit.move_to(-2, units=True)):
            with pytest.raises(VelmorError) as raised:
                move()
            assert raised.value.code == 21
            assert unit.is_ready() and unit.position() == 0
        unit.move_to(12, units=True)
        unit.wait_until_ready(timeout=10)
        assert (unit.position(), unit.position_in_units()) == (120, 12.0)


# steps per unit, a position in the unit, the nearest full step
CONVERSIONS = [
    (200, 2.3, 460),         # 2.3 * 200 is 459.99999999999994 in binary
    (200, -0.0125, -3),      # -2.5 steps: a half step goes away from zero
    (200, 0.0125, 3),
    (2.5, 1, 3),             # 2.5
    (2.5, -1, -3),
    (2.5, -2.1, -5),         # -5.25
    (0.3, 10, 3),
    (0.3, -10, -3),
    (1, 0, 0),
    (1, -7, -7),
    (12.8, 0.1, 1),          # 1.28
]


@pytest.mark.parametrize("steps_per_unit, value, steps", CONVERSIONS)
def test_positions_convert_to_the_nearest_full_step(steps_per_unit, value, steps):
    profile = Profile(unit="mm", steps_per_unit=steps_per_unit)
    assert profile.to_steps(value) == steps
    assert profile.to_units(steps) == pytest.approx(steps / steps_per_unit)


@pytest.mark.parametrize("value, error", [(float("nan"), ValueError), (float("inf"), ValueError),
                                          ("1", TypeError), (True, TypeError)])
def test_a_position_that_is_no_finite_number_is_refused(value, error):
    with pytest.raises(error):
        Profile(steps_per_unit=2).to_steps(value)


# steps per unit, travel, a target in the unit, where the unit ends in full steps (None: refused)
ONE_SIDED = [
    (2.5, {"min": -2}, -2, -5),
    (2.5, {"min": -2}, -2.1, -5),      # -5.25 steps is the full step -5, within the limit
    (2.5, {"min": -2}, -2.2, None),    # -5.5 steps: -6, beyond
    (2.5, {"min": -2}, 40, 100),       # no upper limit
    (4, {"max": 3}, 3, 12),
    (4, {"max": 3}, 3.2, None),
    (4, {"max": 3}, -30, -120),        # no lower limit
]


@pytest.mark.parametrize("steps_per_unit, travel, target, ends", ONE_SIDED)
def test_one_sided_travel_limits_hold_on_their_side_alone(profiles, steps_per_unit, travel, target, ends):
    write_profile(profiles, SERIALS[0], unit="mm", stepsPerUnit=steps_per_unit, travel=travel)
    velmorlib.load_profiles(profiles)
    with Unit(serial=SERIALS[0]) as unit:
        fast_at_zero(unit)
        if ends is None:
            with pytest.raises(VelmorError) as raised:
                unit.move_to(target, units=True)
            assert raised.value.code == 21 and unit.position() == 0
            return
        unit.move_to(target, units=True)
        unit.wait_until_ready(timeout=10)
        assert unit.position() == ends
        assert unit.position_in_units() == pytest.approx(ends / steps_per_unit)


def test_a_move_to_the_travel_limit_itself_is_allowed(profiles):
    write_profile(profiles, SERIALS[0], unit="mm", stepsPerUnit=200, travel={"max": 2.3})
    velmorlib.load_profiles(profiles)
    with Unit(serial=SERIALS[0]) as unit:
        fast_at_zero(unit)
        unit.move_to(2.3, units=True)
