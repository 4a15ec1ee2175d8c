"""Result codes other than 0 come back as VelmorError with the code, its text and the export."""

import pytest

import velmorlib
from velmorlib import Unit
from conftest import run_python


def raised(function, *arguments):
    with pytest.raises(velmorlib.VelmorError) as error:
        function(*arguments)
    return error.value


def test_calls_before_initialise_report_27_and_those_that_read_the_listing_alone_work():
    # A fresh process: this one has called initialise already, or will.
    result = run_python(
        "import velmorlib\n"
        "try:\n"
        "    velmorlib.motor_on(1)\n"
        "except velmorlib.VelmorError as error:\n"
        "    print(error.code, error.function, error.text, sep='|')\n"
        "print(velmorlib.get_device_count())\n"
        "print(velmorlib.explain_refusal(2, 'setMotorCurrent', 8001, True))\n")
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["27|motorOn|the library is not initialised", "3",
                                          "8001 mA is above the 8000 mA maximum of this unit (hardware 1.2)"]


@pytest.mark.parametrize("index", [0, -1, 4, 100, 2 ** 31 - 1])
def test_an_index_without_a_unit_reports_1(initialised, index):
    error = raised(velmorlib.get_absolute_position, index)
    assert (error.code, error.text) == (1, "the device index is out of range")
    assert error.function == "getAbsolutePosition"


def test_the_relay_of_hardware_10_1_reports_32(initialised):
    error = raised(Unit(3).set_relay, True)
    assert (error.code, error.text, error.function) == (32, "the unit has no relay", "setRelay")
    assert str(error) == "setRelay: the unit has no relay (result code 32)"


def test_an_unknown_serial_reports_28(initialised):
    for lookup in (velmorlib.get_device_index, lambda serial: Unit(serial=serial)):
        error = raised(lookup, "JXah09999")
        assert (error.code, error.text) == (28, "no supported unit has this serial number")
        assert error.function == "getDeviceIndex"


# A settings call the unit refuses, by the unit's range: the code, and the library's words as the
# error's reason. Units 1 and 2 have hardware 1.1 and 1.2, unit 3 hardware 10.1.
REFUSED_SETTINGS = [
    (lambda: velmorlib.set_motor_current(2, 8001, 0), 5,
     "8001 mA is above the 8000 mA maximum of this unit (hardware 1.2)"),
    (lambda: Unit(1).set_current(10, True), 5, "10 mA is below the 50 mA minimum of this unit (hardware 1.1)"),
    (lambda: velmorlib.set_motor_speed(1, 3000, 4), 7,
     "3000 steps/s at step mode 4 is a step rate of 48000 steps/s, above the 20000 steps/s maximum of this unit "
     "(hardware 1.1)"),
    (lambda: velmorlib.set_motor_acceleration(3, -1), 7, "an acceleration of -1 steps/s^2 is below 0"),
    (lambda: velmorlib.set_backlash_compensation(2, True, 2, 10), 21, "direction 2 is neither 0 nor 1"),
    (lambda: velmorlib.set_backlash_compensation(2, True, 0, 70000), 23,
     "a backlash of 70000 steps is outside the 0 to 65535 of this unit (hardware 1.2)"),
    (lambda: Unit(2).set_home_settings(0, 0, 0, 10001, 0), 21, "home value A 10001 is above the 10000 maximum"),
    (lambda: velmorlib.set_limit_switches(2, 5, 1, 1, 1), 21,
     "input 5 is outside the inputs 1 to 4 of this unit (hardware 1.2)"),
    (lambda: velmorlib.set_pwm(3, -1), 13, "a PWM value of -1 is below 0"),
]


@pytest.mark.parametrize("call, code, reason", REFUSED_SETTINGS)
def test_a_refused_setting_says_which_value_is_outside_the_units_range(initialised, call, code, reason):
    error = raised(call)
    assert (error.code, error.reason) == (code, reason)
    assert str(error).endswith("(result code {}): {}".format(code, reason))


def test_a_refusal_is_explained_only_after_a_failure_and_only_by_a_value_outside_the_range(initialised, recording):
    velmorlib.set_motor_current(2, 800, 0)
    assert recording.calls == [("setMotorCurrent", (2, 800, 0))]
    # A unit that refuses a value within its range (or whose exchange fails): no reason to give.
    recording.stand_ins["setMotorCurrent"] = lambda *arguments: velmorlib.VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION
    error = raised(velmorlib.set_motor_current, 2, 800, 0)
    assert (error.code, error.reason) == (5, None)
    assert str(error) == "setMotorCurrent: writing the motor configuration failed (result code 5)"
    assert recording.names().count("velmorExplainRefusal") == 1
    # Codes that are no refusal of a value are not explained.
    del recording.calls[:]
    assert raised(velmorlib.set_motor_acceleration, 4, -1).code == 1
    assert raised(Unit(3).set_relay, True).reason is None
    assert "velmorExplainRefusal" not in recording.names()


def test_the_library_explains_settings_by_the_units_range_and_only_settings():
    assert velmorlib.explain_refusal(2, "setMotorCurrent", 8000, True) == ""
    assert velmorlib.explain_refusal(3, "setMotorCurrent", 501, False) == \
        "501 mA is above the 500 mA maximum of this unit (hardware 10.1)"
    assert velmorlib.explain_refusal(2, "setHomeSettings", 3, 0, 0, -1, 10001) == \
        "direction 3 is neither 0 nor 1; home value A -1 is below 0; home value B 10001 is above the 10000 maximum"
    for arguments in (("setRelay", 1), ("setPWM",), ("setPWM", 1, 2)):
        error = raised(velmorlib.explain_refusal, 2, *arguments)
        assert (error.code, error.function) == (21, "velmorExplainRefusal")
        assert error.reason.startswith("the library explains no settings function {!r} taking {} argument".format(
            arguments[0], len(arguments) - 1))
    error = raised(velmorlib.explain_refusal, 4, "setPWM", 1)
    assert (error.code, error.reason) == (1, None)


def test_the_texts_match_velmorctl():
    # velmorctl and the module both show the library's words: what each shows must agree.
    import json
    import os
    import subprocess
    velmorctl = os.environ.get("VELMORCTL")
    if not velmorctl:
        pytest.skip("VELMORCTL is not set")
    listed = json.loads(subprocess.run([velmorctl, "--json", "codes"], check=True,
                                       capture_output=True, text=True).stdout)
    assert [entry["code"] for entry in listed] == list(range(velmorlib.VELMOR_HIGHEST_RESULT_CODE + 1))
    for entry in listed:
        assert velmorlib.result_text(entry["code"]) == entry["text"]
    assert velmorlib.result_text(velmorlib.VELMOR_HIGHEST_RESULT_CODE + 1) == "unknown result code 34"


@pytest.mark.parametrize("index, count, reason", [
    (2, 3, "the unit is open in another program"),
    (3, 3, "the unit is open in another program"),
    (3, 2, "the unit was unplugged (it is no longer listed at its index)"),
    (1, None, "the unit is open in another program, or was unplugged"),
])
def test_code_3_says_busy_or_unplugged_as_the_unit_count_tells(index, count, reason):
    assert velmorlib.errors.open_failure_reason(index, count) == reason


def test_a_unit_open_in_another_program_raises_3_with_the_reason(tmp_path):
    # A velmorctl shell holds unit 2 of a bench shared through one state file.
    import os
    import subprocess
    velmorctl = os.environ.get("VELMORCTL")
    if not velmorctl:
        pytest.skip("VELMORCTL is not set")
    state = {"VELMOR_EMULATOR_STATE": str(tmp_path / "state")}
    shell = subprocess.Popen([velmorctl, "shell"], env=dict(os.environ, **state), stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, text=True)
    try:
        shell.stdin.write("position 2\n")
        shell.stdin.flush()
        assert shell.stdout.readline().startswith("position of unit 2")
        result = run_python(
            "import velmorlib\n"
            "velmorlib.initialise()\n"
            "try:\n"
            "    velmorlib.get_absolute_position(2)\n"
            "except velmorlib.VelmorError as error:\n"
            "    print(error.code, error.reason, sep='|')\n"
            "    print(error)\n", env_changes=state)
    finally:
        shell.communicate("quit\n", timeout=60)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "3|the unit is open in another program",
        "getAbsolutePosition: opening the unit failed (result code 3): the unit is open in another program"]
