"""The prototypes and codes agree with include/VelmorLib.h; result texts and VelmorError."""

import ctypes
import pickle
import re

import pytest

import velmorlib
from velmorlib import _library
from conftest import HEADER

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


@pytest.mark.parametrize("code, text", [
    (0, "success"),
    (2, "unused result code"),
    (17, "unused result code"),
    (18, "the motor is not ready (state 5)"),
    (26, "the unit's start command failed"),
    (33, "setting the PWM step mode failed"),
    (34, "unknown result code 34"),
    (-1, "unknown result code -1"),
    (2 ** 40, "unknown result code 1099511627776"),
])
def test_result_text(code, text):
    assert velmorlib.result_text(code) == text


def test_every_code_up_to_the_highest_has_its_own_text():
    texts = [velmorlib.result_text(code) for code in range(velmorlib.VELMOR_HIGHEST_RESULT_CODE + 1)]
    assert not any(text.startswith("unknown") for text in texts)
    assert len(set(texts)) == len(texts) - 1  # only 2 and 17 share "unused result code"


def test_velmor_error_carries_code_text_and_export_and_survives_pickling():
    error = velmorlib.VelmorError(32, "setRelay")
    assert (error.code, error.text, error.function) == (32, "the unit has no relay", "setRelay")
    assert str(error) == "setRelay: the unit has no relay (result code 32)"
    copy = pickle.loads(pickle.dumps(error))
    assert (copy.code, copy.text, copy.function, str(copy)) == (error.code, error.text, error.function, str(error))
    assert str(velmorlib.VelmorError(99)) == "unknown result code 99"
