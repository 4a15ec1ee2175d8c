"""The companion functions: declarations against VelmorLibExtras.h, and read-back on the bench."""

import ctypes
import os
import re

import pytest

import velmorlib
from velmorlib import Unit, VelmorError, _library, _structures, companion
from conftest import SOURCE_FOLDER

EXTRAS_HEADER = os.path.join(SOURCE_FOLDER, "include", "VelmorLibExtras.h")
C_TYPES = {"int32_t": ctypes.c_int32, "uint32_t": ctypes.c_uint32, "int64_t": ctypes.c_int64, "double": ctypes.c_double}


def header_text():
    with open(EXTRAS_HEADER, encoding="utf-8") as header:
        return header.read()


def header_structures():
    """{struct name: [(field, ctypes type)]} of the header's typedef'd structures."""
    structures = {}
    for name, body in re.findall(r"typedef struct (\w+) \{(.*?)\}", header_text(), re.S):
        fields = []
        for c_type, field, length in re.findall(r"^\s*(\w+)\s+(\w+)(?:\[(\d+)\])?;", body, re.M):
            # An array of another of the header's structures stands as its type's name.
            element = C_TYPES.get(c_type, ctypes.c_char if c_type == "char" else c_type)
            fields.append((field, element * int(length) if length and not isinstance(element, str) else element))
        structures[name] = fields
    return structures


def test_every_companion_function_of_the_header_is_declared():
    declared = re.findall(r"VELMOR_API\s+int32_t\s+VELMOR_CALL\s+(\w+)\s*\(", header_text())
    assert declared == list(_library.COMPANION_PROTOTYPES)
    # those that return a static text, with their parameter
    texts = re.findall(r"VELMOR_API\s+const char \*VELMOR_CALL\s+(\w+)\s*\((\w+)\s+\w+\)", header_text())
    assert {name: (C_TYPES[parameter],) for name, parameter in texts} == _library.TEXT_PROTOTYPES
    library = velmorlib.load_library()
    for name in _library.TEXT_PROTOTYPES:
        assert getattr(library, name).restype is ctypes.c_char_p, name


@pytest.mark.parametrize("c_name, structure", [
    ("VelmorUnitInfo", _structures.UnitInfoStruct),
    ("VelmorMotorStatus", _structures.MotorStatusStruct),
    ("VelmorMotionSettings", _structures.MotionSettingsStruct),
    ("VelmorMotorSettings", _structures.MotorSettingsStruct),
    ("VelmorMoveSettings", _structures.MoveSettingsStruct),
    ("VelmorLimits", _structures.LimitsStruct),
    ("VelmorUnitState", _structures.UnitStateStruct),
    ("VelmorD2xxInfo", _structures.D2xxInfoStruct),
])
def test_structures_are_the_headers_field_for_field(c_name, structure):
    fields = header_structures()[c_name]
    assert [name for name, _ in structure._fields_] == [name for name, _ in fields]
    for (name, ours), (_, theirs) in zip(structure._fields_, fields):
        assert ctypes.sizeof(ours) == ctypes.sizeof(theirs), name
        assert getattr(ours, "_type_", ours) == getattr(theirs, "_type_", theirs), name


def test_the_version_is_the_projects():
    major, minor, patch = velmorlib.get_version()
    with open(os.path.join(SOURCE_FOLDER, "CMakeLists.txt"), encoding="utf-8") as cmake:
        version = re.search(r"project\(VelmorLib VERSION (\d+)\.(\d+)\.(\d+)", cmake.read()).groups()
    assert (major, minor, patch) == tuple(int(part) for part in version)


def test_the_d2xx_in_use_is_the_build_trees_emulator():
    info = velmorlib.get_d2xx_info()
    assert info.loaded and info.error == ""
    assert os.path.basename(info.file) == "libftd2xx.so"
    assert info.library_version == 0, "the emulator has no FT_GetLibraryVersion"


def test_info_names_the_unit_and_its_versions(initialised):
    info = Unit(2).info()
    assert (info.serial_number, info.stored_serial_number, info.hardware, info.firmware) == \
        ("JXah00102", "JXah00102", "1.2", "3.0")
    assert (info.chip_type, info.chip) == (5, "FT232R")
    other = Unit(3).info()
    assert (other.chip_type, other.chip) == (9, "X-series")


@pytest.mark.parametrize("chip_type, name", [
    (5, "FT232R"), (6, "FT2232H"), (7, "FT4232H"), (8, "FT232H"), (9, "X-series"),
    (0, "unknown"), (2 ** 32 - 1, "unknown"),
])
def test_chip_names_are_the_librarys(chip_type, name):
    assert velmorlib.chip_name(chip_type) == name


def test_settings_read_back_what_the_exports_wrote(initialised):
    unit = Unit(2)
    unit.set_speed(400, 3)
    unit.set_acceleration(120)
    unit.set_current(750, 1)
    unit.set_backlash(1, 1, 25)
    unit.set_home_settings(1, 0, 1, 300, 40)
    settings = unit.settings()
    assert (settings.motion.speed, settings.motion.step_mode) == (400, 3)
    assert (settings.motion.acceleration, settings.motion.acceleration_mode) == (120, 1)
    assert (settings.motor.current, settings.motor.current_flag) == (750, 1)
    assert (settings.move.backlash_enabled, settings.move.backlash_direction, settings.move.backlash_amount) == (1, 1, 25)
    assert (settings.move.home_direction, settings.move.home_flag_a, settings.move.home_flag_b,
            settings.move.home_value_a, settings.move.home_value_b) == (1, 1, 0, 300, 40)


def test_status_and_limits(initialised):
    unit = Unit(2)
    unit.on()
    unit.move_by(30)
    unit.wait_until_ready(timeout=10)
    status = unit.status()
    assert (status.position, status.is_ready, status.move_gate) == (30, True, 0)
    limits = unit.limits()
    assert (limits.hardware_major, limits.hardware_minor) == (1, 2)
    assert limits.minimum_current < limits.maximum_current
    assert limits.has_relay == 1 and Unit(3).limits().has_relay == 0


def test_held_unit_is_released_however_the_block_ends(initialised, recorded):
    unit = Unit(1)
    with pytest.raises(ZeroDivisionError):
        with unit.held() as same:
            assert same is unit
            unit.on()
            assert unit.status().ready == 1
            1 / 0
    assert [name for name, _ in recorded if name.startswith("velmor")] == \
        ["velmorHoldUnit", "velmorGetMotorStatus", "velmorReleaseUnit"]


def velmor_calls(recorded):
    """The companion calls made, without the unit-state reads that word a failure's reason."""
    return [name for name, _ in recorded if name.startswith("velmor") and name != "velmorGetUnitState"]


def test_a_unit_as_context_manager_is_held_inside_the_block_and_once_for_nested_blocks(initialised, recorded):
    with Unit(1) as unit:
        unit.on()
        with Unit(1), unit.held():
            unit.status()
        assert velmor_calls(recorded) == ["velmorHoldUnit", "velmorGetMotorStatus"]
        unit.status()
    assert velmor_calls(recorded) == ["velmorHoldUnit", "velmorGetMotorStatus", "velmorGetMotorStatus",
                                      "velmorReleaseUnit"]


def test_a_unit_that_cannot_be_held_raises_on_entering_and_is_not_counted(initialised, recorded):
    with pytest.raises(VelmorError) as raised:
        with Unit(4):
            pytest.fail("entered the block of a unit that is not there")
    assert raised.value.code == 1
    with Unit(1):
        pass
    assert velmor_calls(recorded) == ["velmorHoldUnit", "velmorHoldUnit", "velmorReleaseUnit"]


def test_a_unit_is_found_held_and_described_by_its_serial_number(initialised):
    assert velmorlib.where_is_unit("jxAH00102") == 2
    assert velmorlib.get_unit_state(2) == velmorlib.UnitState(
        listed=True, serial_number="JXah00102", open_elsewhere=False, held_elsewhere_at=0, held=False,
        held_open=False, held_unit_away=False, held_serial_number="", held_unit_listed_at=0)
    assert velmorlib.hold_unit_by_serial(b"jxah00102") == 2
    try:
        state = velmorlib.get_unit_state(2)
        assert (state.held, state.held_open, state.held_unit_away, state.held_serial_number) == \
            (True, True, False, "JXah00102")
    finally:
        velmorlib.release_unit(2)
    assert not velmorlib.get_unit_state(2).held


@pytest.mark.parametrize("call, code", [
    (lambda: velmorlib.get_unit_info(0), 1),
    (lambda: velmorlib.get_motor_status(4), 1),
    (lambda: velmorlib.hold_unit(100), 1),
    (lambda: velmorlib.get_unit_state(100), 1),
    (lambda: velmorlib.where_is_unit("JXah09999"), 28),
    (lambda: velmorlib.hold_unit_by_serial("JXah09999"), 28),
])
def test_failures_raise_with_the_code_and_the_function(initialised, call, code):
    with pytest.raises(VelmorError) as raised:
        call()
    assert raised.value.code == code
    assert raised.value.function.startswith("velmor")


def test_arguments_are_checked_before_the_call(recorded):
    with pytest.raises(TypeError):
        companion.get_limits("1")
    with pytest.raises(ValueError):
        companion.hold_unit(2 ** 31)
    assert recorded == []
