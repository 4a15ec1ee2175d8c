"""The package as its users get it: pip install into a fresh virtual environment and a session
from there, its version, and the hints and docstrings of every public name."""

import dataclasses
import importlib.util
import inspect
import json
import os
import re
import shutil
import subprocess
import sys

import pytest

import velmorlib
from conftest import PYTHON_FOLDER, SOURCE_FOLDER

# Run by the installed package, from a folder outside the source tree.
SESSION = r"""
import importlib.metadata, json, os, velmorlib
velmorlib.initialise()
with velmorlib.Unit(serial="JXah00102") as unit:
    unit.on()
    unit.set_speed(2000, 0)
    unit.set_acceleration(0)
    unit.zero()
    unit.move_by(40)
    unit.wait_until_ready(timeout=5)
    position = unit.position()
with open("/proc/self/maps") as maps:
    mapped = {line.split()[-1] for line in maps if "libVelmorLib" in line}
print(json.dumps({
    "version": velmorlib.__version__,
    "distribution": importlib.metadata.version("velmorlib"),
    "module": velmorlib.__file__,
    "typed": os.path.isfile(os.path.join(os.path.dirname(velmorlib.__file__), "py.typed")),
    "count": velmorlib.get_device_count(),
    "position": position,
    "mapped": sorted(os.path.realpath(path) for path in mapped),
}))
"""


def project_version():
    with open(os.path.join(SOURCE_FOLDER, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return re.search(r"project\(VelmorLib VERSION ([0-9.]+)", cmake.read()).group(1)


def test_the_package_version_is_the_projects():
    assert velmorlib.__version__ == project_version()
    assert velmorlib.get_version() == tuple(int(part) for part in project_version().split("."))


def run(command, **options):
    result = subprocess.run(command, capture_output=True, text=True, timeout=120, **options)
    assert result.returncode == 0, "{}\n{}{}".format(" ".join(command), result.stdout, result.stderr)
    return result


def test_pip_installs_the_package_offline_into_a_fresh_environment_that_runs_a_session(tmp_path):
    # A copy, so that the build's own files (build/, *.egg-info) stay out of the source tree.
    checkout = tmp_path / "checkout"
    shutil.copytree(PYTHON_FOLDER, str(checkout / "python"),
                    ignore=shutil.ignore_patterns("tests", "build", "*.egg-info", "__pycache__"))
    environment = tmp_path / "environment"
    # Debian's setuptools and wheel build the package without a network: the environment sees
    # the system's packages, and its pip is the system's, run by the environment's Python.
    run([sys.executable, "-m", "venv", "--without-pip", "--system-site-packages", str(environment)])
    python = str(environment / "bin" / "python")
    run([python, "-m", "pip", "install", "--no-index", "--no-build-isolation", "--disable-pip-version-check",
         "--no-cache-dir", "--quiet", "./python"], cwd=str(checkout))

    library = os.path.realpath(os.environ["VELMORLIB_LIBRARY"])
    env = {name: value for name, value in os.environ.items() if name not in ("VELMORLIB_LIBRARY", "PYTHONPATH")}
    # The build tree's library found as an installed one is: by its soname, through the loader.
    env["LD_LIBRARY_PATH"] = os.pathsep.join(filter(None, [os.path.dirname(library), env.get("LD_LIBRARY_PATH")]))
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    report = json.loads(run([python, "-c", SESSION], cwd=str(elsewhere), env=env).stdout)

    assert report["module"].startswith(str(environment))
    assert (report["version"], report["distribution"]) == (project_version(), project_version())
    assert report["typed"]
    assert (report["count"], report["position"]) == (3, 40)
    assert report["mapped"] == [library]


def public_functions():
    """(name, function) of every public function and method of the package, properties included."""
    for name in velmorlib.__all__:
        value = getattr(velmorlib, name)
        if inspect.isfunction(value):
            yield name, value
        elif inspect.isclass(value) and value.__module__.startswith("velmorlib"):
            for member_name, member in vars(value).items():
                if isinstance(member, property):
                    member = member.fget
                if inspect.isfunction(member) and (not member_name.startswith("_") or member_name == "__init__"):
                    yield "{}.{}".format(name, member_name), member


def test_every_public_name_has_a_docstring():
    missing = [name for name in velmorlib.__all__
               if inspect.isclass(getattr(velmorlib, name)) and not inspect.getdoc(getattr(velmorlib, name))]
    missing += [name for name, function in public_functions()
                if not function.__doc__ and not name.endswith(".__init__")]
    assert missing == []


def test_every_public_function_has_hints_for_its_parameters_and_its_result():
    unhinted = []
    for name, function in public_functions():
        signature = inspect.signature(function)
        parameters = [parameter for parameter in signature.parameters.values() if parameter.name != "self"]
        if signature.return_annotation is inspect.Signature.empty or \
                any(parameter.annotation is inspect.Parameter.empty for parameter in parameters):
            unhinted.append(name)
    assert unhinted == []


def test_every_dataclass_field_has_a_type():
    for name in velmorlib.__all__:
        value = getattr(velmorlib, name)
        if dataclasses.is_dataclass(value):
            assert all(field.type not in (None, inspect.Parameter.empty) for field in dataclasses.fields(value)), name


@pytest.mark.skipif(importlib.util.find_spec("mypy") is None, reason="mypy is not installed (Debian: python3-mypy)")
def test_the_hints_agree_with_the_code_under_mypy_strict(tmp_path):
    # The oldest Python the package supports: hints written for it hold for the later ones.
    run([sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--cache-dir", os.devnull,
         "--python-version", "3.9", os.path.join(PYTHON_FOLDER, "velmorlib")], cwd=str(tmp_path))
