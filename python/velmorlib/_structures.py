"""The companion API's C structures, field for field as VelmorLibExtras.h declares them."""

import ctypes

_I32 = ctypes.c_int32
_U32 = ctypes.c_uint32
_F64 = ctypes.c_double


class UnitInfoStruct(ctypes.Structure):
    _fields_ = [("size", _U32), ("serialNumber", ctypes.c_char * 20), ("description", ctypes.c_char * 68),
                ("chipType", _U32), ("usbId", _U32), ("locationId", _U32),
                ("hardwareMajor", _I32), ("hardwareMinor", _I32), ("firmwareMajor", _I32), ("firmwareMinor", _I32),
                ("storedSerialNumber", ctypes.c_char * 20)]


class MotorStatusStruct(ctypes.Structure):
    _fields_ = [("size", _U32), ("position", _I32), ("positionInSteps", _F64), ("rawPosition", _I32),
                ("stepMode", _U32), ("ready", _U32), ("moveGate", _I32), ("firstWord", _U32),
                ("flag9", _U32), ("flag10", _U32), ("flag12", _U32), ("flag13", _U32)]


class MotionSettingsStruct(ctypes.Structure):
    _fields_ = [("size", _U32), ("speed", _I32), ("alternateSpeed", _I32), ("alternateSpeedEnabled", _I32),
                ("stepMode", _I32), ("acceleration", _I32), ("accelerationTenths", _U32),
                ("accelerationMode", _I32)]


class MotorSettingsStruct(ctypes.Structure):
    _fields_ = [("size", _U32), ("current", _I32), ("currentFlag", _I32), ("wordValue", _I32),
                ("byteValue", _I32), ("extendedFlag", _I32), ("scaledValueA", _F64), ("scaledValueB", _F64)]


class MoveSettingsStruct(ctypes.Structure):
    _fields_ = [("size", _U32), ("backlashEnabled", _I32), ("backlashDirection", _I32), ("backlashAmount", _I32),
                ("homeDirection", _I32), ("homeMode", _I32), ("homeFlagA", _I32), ("homeFlagB", _I32),
                ("homeValueA", _I32), ("homeValueB", _I32)]


class LimitsStruct(ctypes.Structure):
    _fields_ = [("size", _U32), ("hardwareMajor", _I32), ("hardwareMinor", _I32),
                ("minimumCurrent", _I32), ("maximumCurrent", _I32), ("maximumStepRate", _I32),
                ("largestSpeed", _I32), ("largestStepMode", _I32), ("largestAcceleration", _I32),
                ("largestBacklashAmount", _I32), ("largestHomeValue", _I32), ("inputChannels", _I32),
                ("hasRelay", _I32), ("pwmLimit", _I32)]


class UnitStateStruct(ctypes.Structure):
    _fields_ = [("size", _U32), ("listed", _I32), ("serialNumber", ctypes.c_char * 20), ("openElsewhere", _I32),
                ("heldElsewhereAt", _I32), ("held", _I32), ("heldOpen", _I32), ("heldUnitAway", _I32),
                ("heldSerialNumber", ctypes.c_char * 20), ("heldUnitListedAt", _I32)]


class D2xxInfoStruct(ctypes.Structure):
    _fields_ = [("size", _U32), ("loaded", _I32), ("libraryVersion", _U32),
                ("file", ctypes.c_char * 1024), ("error", ctypes.c_char * 1024)]
