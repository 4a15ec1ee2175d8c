"""Unit profiles on the devices: Position in the profile's unit within its travel limits, the
settings' ranges, and the commands that save and apply a profile."""

import json
import os

import pytest
import tango

from conftest import fast_and_at_zero, served, wait_for_state

SERIAL = "JXah00102"  # hardware 1.2


def profile_folder(tmp_path, **document):
    """A folder holding the unit's profile, named as the server's profile folder (VELMOR_PROFILES)."""
    folder = tmp_path / "units"
    folder.mkdir()
    document = dict({"velmorlibProfile": 1, "serialNumber": SERIAL}, **document)
    (folder / "x.json").write_text(json.dumps(document))
    os.environ["VELMOR_PROFILES"] = str(folder)
    return folder


def test_position_is_in_the_profiles_unit_and_a_move_beyond_its_travel_is_refused(tmp_path):
    profile_folder(tmp_path, unit="mm", stepsPerUnit=2.5, travel={"min": -2, "max": 40})
    with served(SERIAL) as proxy:
        config = proxy.get_attribute_config("Position")
        assert (config.unit, float(config.min_value), float(config.max_value)) == ("mm", -2, 40)
        fast_and_at_zero(proxy)
        proxy.Position = 10.1  # 25.25 steps: the nearest full step, 25
        wait_for_state(proxy, tango.DevState.ON)
        assert proxy.Position == 10.0
        with pytest.raises(tango.DevFailed) as refused:
            proxy.MoveRelative(80)  # to 105 steps, 42 mm
        assert refused.value.args[0].reason == "VELMOR_ERROR_ARGUMENT"
        assert "(result code 21)" in refused.value.args[0].desc
        with pytest.raises(tango.DevFailed) as outside:
            proxy.Position = 40.5  # Tango itself refuses a value beyond max_value
        assert outside.value.args[0].reason == "API_WAttrOutsideLimit"
        assert proxy.state() == tango.DevState.ON and proxy.Position == 10.0


def test_without_a_profile_positions_are_full_steps_without_limits():
    with served(SERIAL) as proxy:
        config = proxy.get_attribute_config("Position")
        assert (config.unit, config.min_value, config.max_value) == ("steps", "Not specified", "Not specified")


# attribute, minimum, maximum on hardware 1.2
RANGES = [
    ("Current", "50", "8000"),
    ("Speed", "0", "65535"),
    ("StepMode", "0", "255"),
    ("Acceleration", "0", "429496729"),
    ("BacklashAmount", "0", "65535"),
    ("HomeValueA", "0", "10000"),
    ("HomeValueB", "0", "10000"),
]


def test_the_settings_carry_the_units_ranges():
    with served(SERIAL) as proxy:
        for name, lowest, highest in RANGES:
            config = proxy.get_attribute_config(name)
            assert (config.min_value, config.max_value) == (lowest, highest), name
        current = proxy.Current
        with pytest.raises(tango.DevFailed) as refused:
            proxy.Current = 8001
        assert refused.value.args[0].reason == "API_WAttrOutsideLimit"
        assert proxy.Current == current


def test_a_saved_profile_applies_back_and_a_changed_one_reports_each_setting(tmp_path):
    path = str(tmp_path / "saved.json")
    with served(SERIAL) as proxy:
        proxy.Current = 1200
        proxy.SaveProfile(path)
        saved = json.loads(open(path).read())
        assert (saved["serialNumber"], saved["settings"]["current"]) == (SERIAL, 1200)
        report = json.loads(proxy.ApplyProfile(path))
        assert {entry["outcome"] for entry in report["settings"]} == {"unchanged"}

        saved["settings"].update(current=9000, acceleration=700)
        with open(path, "w") as file:
            json.dump(saved, file)
        outcomes = {entry["setting"]: entry for entry in json.loads(proxy.ApplyProfile(path))["settings"]}
        assert outcomes["acceleration"]["outcome"] == "applied" and proxy.Acceleration == 700
        assert outcomes["current"]["outcome"] == "refused" and outcomes["current"]["code"] == 21
        assert "8000 mA maximum" in outcomes["current"]["reason"] and proxy.Current == 1200


# file text, the DevFailed's reason, words in its description
NOT_TAKEN = [
    ('{"velmorlibProfile": 2}', "VELMOR_BAD_PROFILE", "line 1: version 2 is newer than this library reads (1)"),
    ('{"velmorlibProfile": 1,\n "settings": {"current": 900}', "VELMOR_BAD_PROFILE", "line 2: "),
    ('{"velmorlibProfile": 1, "serialNumber": "JXah00101", "settings": {"current": 900}}', "VELMOR_ERROR_ARGUMENT",
     "the profile is for unit JXah00101, not for JXah00102"),
]


def test_a_profile_that_cannot_be_taken_fails_and_writes_nothing(tmp_path):
    path = tmp_path / "profile.json"
    with served(SERIAL) as proxy:
        current = proxy.Current
        for text, reason, words in NOT_TAKEN + [(None, "VELMOR_FILE", "No such file")]:
            if text is not None:
                path.write_text(text)
            else:
                path.unlink()
            with pytest.raises(tango.DevFailed) as failed:
                proxy.ApplyProfile(str(path))
            assert failed.value.args[0].reason == reason, text
            assert words in failed.value.args[0].desc, text
            assert proxy.Current == current
