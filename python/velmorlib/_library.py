"""Finding and loading the shared library, and the prototypes of its 21 exports."""

import ctypes
import ctypes.util
import os
import sys
import sysconfig
import threading
from typing import Dict, Iterator, Optional, Sequence, Tuple, Type

from . import _structures

_ArgumentTypes = Sequence[Type["ctypes._CData"]]

_I32 = ctypes.c_int32
_U8 = ctypes.c_uint8
_U32 = ctypes.c_uint32

# Parameter types of each export, in the order of VelmorLib.h; every export returns int32_t.
PROTOTYPES: Dict[str, _ArgumentTypes] = {
    "initialise": (),
    "getDeviceCount": (ctypes.POINTER(_I32),),
    "getDeviceIndex": (ctypes.c_char_p, ctypes.POINTER(_I32)),
    "motorOn": (_I32,),
    "motorOff": (_I32,),
    "stopMotor": (_I32,),
    "zeroMotorPosition": (_I32,),
    "moveMotorAbsolute": (_I32, _I32),
    "moveMotorRelative": (_I32, _I32),
    "moveMotorHome": (_I32,),
    "getAbsolutePosition": (_I32, ctypes.POINTER(_I32)),
    "isMotorReady": (_I32, ctypes.POINTER(_U8)),
    "setMotorSpeed": (_I32, _I32, _I32),
    "setMotorAcceleration": (_I32, _I32),
    "setMotorCurrent": (_I32, _I32, _U8),
    "setBacklashCompensation": (_I32, _U8, _U32, _I32),
    "setHomeSettings": (_I32, _U32, _U8, _U8, _U32, _U32),
    "setLimitSwitches": (_I32, _I32, _U32, _I32, _U32),
    "setPWM": (_I32, _I32),
    "setPWMStepMode": (_I32,),
    "setRelay": (_I32, _U8),
}

_P_I32 = ctypes.POINTER(_I32)

# The companion functions of VelmorLibExtras.h, in its order; each returns int32_t as well.
COMPANION_PROTOTYPES: Dict[str, _ArgumentTypes] = {
    "velmorGetVersion": (_P_I32, _P_I32, _P_I32),
    "velmorGetUnitInfo": (_I32, ctypes.POINTER(_structures.UnitInfoStruct)),
    "velmorGetMotorStatus": (_I32, ctypes.POINTER(_structures.MotorStatusStruct)),
    "velmorReadMotionSettings": (_I32, ctypes.POINTER(_structures.MotionSettingsStruct)),
    "velmorReadMotorSettings": (_I32, ctypes.POINTER(_structures.MotorSettingsStruct)),
    "velmorReadMoveSettings": (_I32, ctypes.POINTER(_structures.MoveSettingsStruct)),
    "velmorGetLimits": (_I32, ctypes.POINTER(_structures.LimitsStruct)),
    "velmorExplainRefusal": (_I32, ctypes.c_char_p, ctypes.POINTER(ctypes.c_int64), _I32, ctypes.c_char_p, _U32),
    "velmorHoldUnit": (_I32,),
    "velmorReleaseUnit": (_I32,),
    "velmorReleaseAllUnits": (),
    "velmorHoldUnitBySerial": (ctypes.c_char_p, _P_I32),
    "velmorWhereIsUnit": (ctypes.c_char_p, _P_I32),
    "velmorGetUnitState": (_I32, ctypes.POINTER(_structures.UnitStateStruct)),
    "velmorGetD2xxInfo": (ctypes.POINTER(_structures.D2xxInfoStruct),),
    "velmorReadProfile": (_I32, ctypes.c_char_p, _U32, ctypes.POINTER(_U32)),
    "velmorApplyProfile": (_I32, ctypes.c_char_p, _U32, ctypes.c_char_p, _U32, ctypes.POINTER(_U32)),
    "velmorDiffProfile": (_I32, ctypes.c_char_p, ctypes.c_char_p, _U32, ctypes.POINTER(_U32)),
    "velmorLoadProfiles": (ctypes.c_char_p, ctypes.c_char_p, _U32, ctypes.POINTER(_U32)),
    # velmord's: the Python module reads none of them; declared so that ctypes checks their calls.
    "velmorGetBrokerInfo": (ctypes.c_void_p,),
    "velmorOpenSession": (ctypes.POINTER(ctypes.c_void_p),),
    "velmorCloseSession": (ctypes.c_void_p,),
    "velmorEnterSession": (ctypes.c_void_p,),
}

# The companion functions that return a static text (const char *) instead of a result code.
TEXT_PROTOTYPES: Dict[str, _ArgumentTypes] = {
    "velmorResultName": (_I32,),
    "velmorResultText": (_I32,),
    "velmorChipName": (_U32,),
}

ENVIRONMENT_VARIABLE = "VELMORLIB_LIBRARY"

_ON_WINDOWS = os.name == "nt"
_FILE_NAMES = ("VelmorLib.dll", "libVelmorLib.dll") if _ON_WINDOWS else ("libVelmorLib.so", "libVelmorLib.so.0")
_LOADER_NAME = "VelmorLib.dll" if _ON_WINDOWS else "libVelmorLib.so.0"

_lock = threading.Lock()
_loaded: Optional[ctypes.CDLL] = None
_loaded_from: Optional[str] = None


def _package_folder() -> str:
    return os.path.dirname(os.path.abspath(__file__))


def _first_file(paths: Iterator[str]) -> Optional[str]:
    return next((path for path in paths if os.path.isfile(path)), None)


def _beside_package() -> Optional[str]:
    """A library in the package's folder or in the folder holding it (a build or a bundle)."""
    package_folder = _package_folder()
    return _first_file(os.path.join(folder, file_name)
                       for folder in (package_folder, os.path.dirname(package_folder))
                       for file_name in _FILE_NAMES)


def _in_installation_prefix() -> Optional[str]:
    """The library that the same installation put beside the module.

    cmake --install puts the package in PREFIX/lib/python3/dist-packages and the library in
    PREFIX/lib, PREFIX/lib/<multiarch> (Debian's /usr), PREFIX/lib64 or, on Windows, PREFIX/bin, so that a
    prefix outside the loader's folders still has its own library found.
    """
    packages = os.path.dirname(_package_folder())
    if os.path.basename(packages).lower() not in ("dist-packages", "site-packages"):
        return None
    folder = os.path.dirname(packages)
    if os.path.basename(folder).lower().startswith("python"):
        folder = os.path.dirname(folder)  # lib/python3/dist-packages; Windows has Lib/site-packages
    if os.path.basename(folder).lower() != "lib":
        return None
    if _ON_WINDOWS:
        return _first_file(iter([os.path.join(os.path.dirname(folder), "bin", _LOADER_NAME)]))
    multiarch = sysconfig.get_config_var("MULTIARCH")
    folders = [folder] + ([os.path.join(folder, multiarch)] if multiarch else [])
    folders.append(os.path.join(os.path.dirname(folder), "lib64"))
    return _first_file(os.path.join(candidate, _LOADER_NAME) for candidate in folders)


def _locate() -> Tuple[str, str]:
    """Where to load the library from, and how that was chosen (for error messages)."""
    explicit = os.environ.get(ENVIRONMENT_VARIABLE)
    if explicit:
        return explicit, "from " + ENVIRONMENT_VARIABLE
    beside = _beside_package()
    if beside:
        return beside, "beside the velmorlib package"
    installed = _in_installation_prefix()
    if installed:
        return installed, "installed with the velmorlib package"
    found = ctypes.util.find_library("VelmorLib")
    if found:
        return found, "found by ctypes.util.find_library"
    return _LOADER_NAME, "through the system loader's search path"


def _open(path: str) -> ctypes.CDLL:
    # The exports are __stdcall on Windows and cdecl elsewhere.
    if sys.platform == "win32":
        return ctypes.WinDLL(path)
    return ctypes.CDLL(path)


def _declare(library: ctypes.CDLL) -> None:
    for name, argtypes in {**PROTOTYPES, **COMPANION_PROTOTYPES}.items():
        function = getattr(library, name)
        function.argtypes = argtypes
        function.restype = _I32
    for name, argtypes in TEXT_PROTOTYPES.items():
        function = getattr(library, name)
        function.argtypes = argtypes
        function.restype = ctypes.c_char_p


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """Load VelmorLib once per process and return the ctypes library with its prototypes.

    Without a path: $VELMORLIB_LIBRARY if set, else a libVelmorLib.so in the package's folder
    or in the folder holding the package, else the libVelmorLib.so.0 installed in the same
    prefix as the package (PREFIX/lib or PREFIX/lib/<multiarch>), else what
    ctypes.util.find_library("VelmorLib") finds, else libVelmorLib.so.0 through the system
    loader. On Windows the names are VelmorLib.dll and PREFIX/bin. A later call returns the
    library already loaded; a different explicit path then raises RuntimeError. OSError when
    the library cannot be loaded, naming where it was looked for.
    """
    global _loaded, _loaded_from
    with _lock:
        if _loaded is not None:
            if path is not None and path != _loaded_from:
                raise RuntimeError("VelmorLib is already loaded from {!r}".format(_loaded_from))
            return _loaded
        where, how = (path, "as given") if path is not None else _locate()
        try:
            library = _open(where)
            _declare(library)
        except (OSError, AttributeError) as error:
            raise OSError("cannot load VelmorLib from {!r} ({}): {}; set {} to the library's path"
                          .format(where, how, error, ENVIRONMENT_VARIABLE)) from error
        _loaded, _loaded_from = library, where
        return library


def library_path() -> Optional[str]:
    """The path or name VelmorLib was loaded from, None before it is loaded."""
    return _loaded_from
