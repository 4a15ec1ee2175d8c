"""Result codes other than 0 come back as VelmorError with the code, its text and the export."""

import pytest

import velmorlib
from velmorlib import Unit
from conftest import run_python


def raised(function, *arguments):
    with pytest.raises(velmorlib.VelmorError) as error:
        function(*arguments)
    return error.value


def test_calls_before_initialise_report_27():
    # A fresh process: this one has called initialise already, or will.
    result = run_python(
        "import velmorlib\n"
        "try:\n"
        "    velmorlib.motor_on(1)\n"
        "except velmorlib.VelmorError as error:\n"
        "    print(error.code, error.function, error.text, sep='|')\n"
        "print(velmorlib.get_device_count())\n")
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["27|motorOn|the library is not initialised", "3"]


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


def test_range_checks_of_the_library_itself_report_21(initialised):
    # Within the C types, so the module passes them on; the library refuses them.
    error = raised(velmorlib.set_backlash_compensation, 2, True, 2, 10)
    assert (error.code, error.text) == (21, "an argument is out of range")
    assert raised(velmorlib.set_home_settings, 2, 0, 0, 0, 10001, 0).code == 21
    assert raised(velmorlib.set_limit_switches, 2, 5, 1, 1, 1).code == 21


def test_the_texts_match_velmorctl():
    # velmorctl keeps its own table of the same texts; the two must never drift apart.
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
