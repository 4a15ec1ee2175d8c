"""The prototypes and codes agree with include/VelmorLib.h; the result words and VelmorError."""

import ctypes
import pickle
import re

import pytest

import velmorlib
from velmorlib import _library
from conftest import HEADER, run_python

C_TYPES = {
    "int32_t": ctypes.c_int32,
    "uint8_t": ctypes.c_uint8,
    "uint32_t": ctypes.c_uint32,
    "int32_t *": ctypes.POINTER(ctypes.c_int32),
    "uint8_t *": ctypes.POINTER(ctypes.c_uint8),
    "const char *": ctypes.c_char_p,
}


def header_text():
    with open(HEADER, encoding="utf-8") as header:
        return header.read()


def header_exports():
    """{name: [parameter C types]} of every VELMOR_API declaration in the header."""
    exports = {}
    pattern = r"VELMOR_API\s+int32_t\s+VELMOR_CALL\s+(\w+)\s*\(([^)]*)\)\s*;"
    for name, parameters in re.findall(pattern, header_text()):
        types = []
        for parameter in parameters.split(","):
            parameter = " ".join(parameter.split())
            if parameter == "void":
                continue
            declared = re.match(r"(.*?)\s*(\*?)\s*\w+$", parameter)
            types.append((declared.group(1) + (" *" if declared.group(2) else "")).strip())
        exports[name] = types
    return exports


def test_every_export_of_the_header_is_declared_with_its_parameter_types():
    exports = header_exports()
    assert len(exports) == 21
    assert {name: [C_TYPES[t] for t in types] for name, types in exports.items()} == \
        {name: list(argtypes) for name, argtypes in _library.PROTOTYPES.items()}


def test_the_loaded_library_carries_the_prototypes():
    library = velmorlib.load_library()
    for name, argtypes in _library.PROTOTYPES.items():
        function = getattr(library, name)
        assert function.restype is ctypes.c_int32, name
        assert tuple(function.argtypes) == argtypes, name


def test_result_constants_are_the_enum_of_the_header():
    header = header_text()
    enum = dict((name, int(value)) for name, value in re.findall(r"(VELMOR_\w+)\s*=\s*(\d+)", header))
    assert {member.name: member.value for member in velmorlib.VelmorResult} == enum
    assert velmorlib.VELMOR_HIGHEST_RESULT_CODE == int(
        re.search(r"#define VELMOR_HIGHEST_RESULT_CODE (\d+)", header).group(1))
    assert velmorlib.VELMOR_ERROR_NO_RELAY == 32
    for member in velmorlib.VelmorResult:
        assert getattr(velmorlib, member.name) is member and member.name in velmorlib.__all__, member.name


def test_the_enums_names_are_the_librarys_for_every_code():
    # The enum is there before the library is loaded, so it spells the names out; the library's
    # velmorResultName is their one source, and the two must never drift apart.
    codes = range(-1, velmorlib.VELMOR_HIGHEST_RESULT_CODE + 2)
    members = {member.value: member.name for member in velmorlib.VelmorResult}
    assert {code: velmorlib.result_name(code) for code in codes} == {code: members.get(code, "") for code in codes}


@pytest.mark.parametrize("code, name, text", [
    (0, "VELMOR_OK", "success"),
    (2, "", "unused result code"),
    (17, "", "unused result code"),
    (18, "VELMOR_ERROR_NOT_READY_5", "the motor is not ready (state 5)"),
    (26, "VELMOR_ERROR_START_COMMAND", "the unit's start command failed"),
    (33, "VELMOR_ERROR_SET_PWM_STEP_MODE_FAILED", "setting the PWM step mode failed"),
    (34, "", "unknown result code 34"),
    (-1, "", "unknown result code -1"),
    (2 ** 40, "", "unknown result code 1099511627776"),
    (-2 ** 31 - 1, "", "unknown result code -2147483649"),
])
def test_result_name_and_text(code, name, text):
    assert (velmorlib.result_name(code), velmorlib.result_text(code)) == (name, text)


def test_every_code_up_to_the_highest_has_its_own_text():
    texts = [velmorlib.result_text(code) for code in range(velmorlib.VELMOR_HIGHEST_RESULT_CODE + 1)]
    assert not any(text.startswith("unknown") for text in texts)
    assert len(set(texts)) == len(texts) - 1  # only 2 and 17 share "unused result code"


def test_velmor_error_carries_code_text_and_export_and_survives_pickling():
    error = velmorlib.VelmorError(32, "setRelay")
    assert (error.code, error.text, error.function) == (32, "the unit has no relay", "setRelay")
    assert str(error) == "setRelay: the unit has no relay (result code 32)"
    explained = velmorlib.VelmorError(5, "setMotorCurrent", reason="8001 mA is above the 8000 mA maximum")
    for original in (error, explained):
        copy = pickle.loads(pickle.dumps(original))
        assert (copy.code, copy.text, copy.function, copy.reason, str(copy)) == \
            (original.code, original.text, original.function, original.reason, str(original))
    assert str(velmorlib.VelmorError(99)) == "unknown result code 99"


def test_without_the_library_an_error_still_says_its_code_and_the_words_say_why_they_are_missing(tmp_path):
    result = run_python(
        "import velmorlib\n"
        "print(velmorlib.VelmorError(32, 'setRelay'))\n"
        "try:\n"
        "    velmorlib.result_text(32)\n"
        "except OSError as error:\n"
        "    print('OSError', 'VELMORLIB_LIBRARY' in str(error))\n",
        {"VELMORLIB_LIBRARY": str(tmp_path / "libVelmorLib.so")})
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "setRelay: no words for it: VelmorLib cannot be loaded (result code 32)", "OSError True"]
