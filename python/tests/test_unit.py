"""Unit by serial number and the package's loading of the library."""

import os
import shutil
import sysconfig

import pytest

import velmorlib
from velmorlib import Unit
from conftest import PYTHON_FOLDER, run_python


@pytest.mark.parametrize("serial, index", [
    ("JXah00101", 1),
    ("jxAH00102", 2),  # the library ignores case
    (b"JXbh01001", 3),
])
def test_unit_by_serial_number(initialised, serial, index):
    unit = Unit(serial=serial)
    assert (unit.index, unit.serial) == (index, serial)
    assert repr(unit) == "Unit({}, serial={!r})".format(index, serial)
    unit.on()
    assert unit.is_ready()


def test_loaded_from_the_environment_variable():
    assert velmorlib.library_path() == os.environ["VELMORLIB_LIBRARY"]
    assert velmorlib.load_library() is velmorlib.load_library(os.environ["VELMORLIB_LIBRARY"])
    with pytest.raises(RuntimeError, match="already loaded"):
        velmorlib.load_library("/elsewhere/libVelmorLib.so")


def test_a_library_that_is_not_there_is_an_os_error_naming_the_path_and_the_variable(tmp_path):
    missing = str(tmp_path / "libVelmorLib.so")
    result = run_python(
        "import velmorlib\n"
        "try:\n"
        "    velmorlib.get_device_count()\n"
        "except OSError as error:\n"
        "    print(error)\n",
        {"VELMORLIB_LIBRARY": missing})
    assert result.returncode == 0, result.stderr
    assert missing in result.stdout and "VELMORLIB_LIBRARY" in result.stdout


def test_without_the_variable_a_library_beside_the_package_is_loaded(tmp_path):
    shutil.copytree(os.path.join(PYTHON_FOLDER, "velmorlib"), str(tmp_path / "velmorlib"))
    beside = tmp_path / "libVelmorLib.so"
    beside.symlink_to(os.path.realpath(os.environ["VELMORLIB_LIBRARY"]))
    result = run_python(
        "import velmorlib\n"
        "print(velmorlib.get_device_count(), velmorlib.library_path())\n",
        {"VELMORLIB_LIBRARY": None, "PYTHONPATH": str(tmp_path)})
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["3", str(beside)]


MULTIARCH = sysconfig.get_config_var("MULTIARCH") or "x86_64-linux-gnu"


@pytest.mark.parametrize("packages, library_folder", [
    ("lib/python3/dist-packages", "lib"),                       # cmake --install under a prefix
    ("lib/python3/dist-packages", "lib/" + MULTIARCH),          # Debian's /usr
    ("lib/python3.11/site-packages", "lib64"),
])
def test_an_installed_package_loads_the_library_of_its_own_prefix(tmp_path, packages, library_folder):
    if "/" in library_folder and not sysconfig.get_config_var("MULTIARCH"):
        pytest.skip("this Python names no multiarch folder")
    shutil.copytree(os.path.join(PYTHON_FOLDER, "velmorlib"), str(tmp_path / packages / "velmorlib"))
    installed = tmp_path / library_folder / "libVelmorLib.so.0"
    installed.parent.mkdir(parents=True, exist_ok=True)
    installed.symlink_to(os.path.realpath(os.environ["VELMORLIB_LIBRARY"]))
    result = run_python(
        "import velmorlib\n"
        "print(velmorlib.get_device_count(), velmorlib.library_path())\n",
        {"VELMORLIB_LIBRARY": None, "PYTHONPATH": str(tmp_path / packages)})
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["3", str(installed)]
