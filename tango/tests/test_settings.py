"""What a device is and the settings it reads from its unit and writes to it."""

import pytest
import tango

from conftest import served, served_together

# device name: SerialNumber property, serial served, hardware, firmware
IDENTITIES = {
    "velmor/motor/a": ("JXah00101", "JXah00101", "1.1", "2.0"),
    "velmor/motor/b": ("jxah00102", "JXah00102", "1.2", "3.0"),  # the library matches serials ignoring case
    "velmor/motor/3": (None, "JXbh01001", "10.1", "1.0"),        # no property: the unit the name's index gives
}


def test_each_device_serves_the_unit_its_serial_names():
    with served_together({name: serial for name, (serial, *_) in IDENTITIES.items()}) as proxies:
        for name, (_, shown, hardware, firmware) in IDENTITIES.items():
            proxy = proxies[name]
            assert (proxy.SerialNumber, proxy.HardwareVersion, proxy.FirmwareVersion) == (shown, hardware, firmware)
            assert proxy.state() in (tango.DevState.ON, tango.DevState.OFF)
            for attribute in ("SerialNumber", "HardwareVersion", "FirmwareVersion"):
                assert proxy.get_attribute_config(attribute).writable == tango.AttrWriteType.READ


# Each setting, a value the unit takes, and the settings its write must leave as they were.
SETTINGS = [
    ("StepMode", 1, ["Speed"]),
    ("Speed", 900, ["StepMode"]),
    ("Acceleration", 500, []),
    ("Current", 1200, []),
    ("BacklashEnabled", True, ["BacklashDirection", "BacklashAmount"]),
    ("BacklashDirection", 1, ["BacklashEnabled", "BacklashAmount"]),
    ("BacklashAmount", 7, ["BacklashEnabled", "BacklashDirection"]),
    ("HomeDirection", 1, ["HomeFlagA", "HomeFlagB", "HomeValueA", "HomeValueB"]),
    ("HomeFlagA", True, ["HomeDirection", "HomeFlagB", "HomeValueA", "HomeValueB"]),
    ("HomeFlagB", True, ["HomeDirection", "HomeFlagA", "HomeValueA", "HomeValueB"]),
    ("HomeValueA", 100, ["HomeDirection", "HomeFlagA", "HomeFlagB", "HomeValueB"]),
    ("HomeValueB", 200, ["HomeDirection", "HomeFlagA", "HomeFlagB", "HomeValueA"]),
]


def test_each_setting_is_written_to_the_unit_and_read_back_alone():
    with served("JXah00102") as proxy:
        for name, value, kept in SETTINGS:
            others = {other: proxy.read_attribute(other).value for other in kept}
            proxy.write_attribute(name, value)
            assert proxy.read_attribute(name).value == value, name
            assert {other: proxy.read_attribute(other).value for other in kept} == others, name


REFUSALS = [
    # attribute or command, value, reason, words in the description: the code's text and, for a
    # value outside the unit's range, the library's words for it
    ("BacklashDirection", 2, "VELMOR_ERROR_ARGUMENT",
     "an argument is out of range (result code 21): direction 2 is neither 0 nor 1"),
    ("SetPWM", -1, "VELMOR_ERROR_SET_PWM_FAILED",
     "setting the PWM value failed (result code 13): a PWM value of -1 is below 0"),
    ("SetRelay", True, "VELMOR_ERROR_NO_RELAY", "setRelay: the unit has no relay (result code 32)"),
    ("SetLimitSwitches", [1, 3, 2], "VELMOR_BAD_ARGUMENT", "takes 4 numbers"),
    ("SetLimitSwitches", [9, 3, 2, 6], "VELMOR_ERROR_ARGUMENT", "an argument is out of range (result code 21): "
     "input 9 is outside the inputs 1 to 4 of this unit (hardware 10.1)"),
]


def test_what_the_unit_refuses_fails_in_words_and_leaves_it_usable():
    with served("JXbh01001") as proxy:  # hardware 10.1: no relay
        state = proxy.state()
        for name, value, reason, words in REFUSALS:
            with pytest.raises(tango.DevFailed) as failure:
                if name.startswith("Set"):
                    proxy.command_inout(name, value)
                else:
                    proxy.write_attribute(name, value)
            assert failure.value.args[0].reason == reason, name
            assert words in failure.value.args[0].desc and "JXbh01001" in failure.value.args[0].desc, name
            assert proxy.state() == state, name
        assert proxy.status().endswith("last request: setLimitSwitches refused: an argument is out of range: "
                                       "input 9 is outside the inputs 1 to 4 of this unit (hardware 10.1)")
        proxy.SetLimitSwitches([1, 3, 2, 6])
        proxy.SetPWM(50)
        proxy.SetPWMStepMode()
        assert "refused" not in proxy.status()


# Values outside the unit's range, which the attributes carry as min_value and max_value: Tango
# refuses them before they reach the library.
OUTSIDE_RANGES = [("Current", 9000, "500"), ("Current", 49, "50"), ("HomeValueA", 10001, "10000")]


def test_a_value_outside_the_units_range_is_refused_by_tango_and_leaves_the_unit_as_it_was():
    with served("JXbh01001") as proxy:  # hardware 10.1: at most 500 mA
        for name, value, bound in OUTSIDE_RANGES:
            before = proxy.read_attribute(name).value
            config = proxy.get_attribute_config(name)
            assert bound in (config.min_value, config.max_value), name
            with pytest.raises(tango.DevFailed) as failure:
                proxy.write_attribute(name, value)
            assert failure.value.args[0].reason == "API_WAttrOutsideLimit", name
            assert proxy.read_attribute(name).value == before, name


def test_the_relay_switches_where_there_is_one():
    with served("JXah00101") as proxy:
        proxy.SetRelay(True)
        proxy.SetRelay(False)
        assert "refused" not in proxy.status()


# device name: SerialNumber property, words in Status
NO_UNIT = {
    "velmor/motor/a": ("JXzz99999", "no supported unit has this serial number"),
    "velmor/motor/9": (None, "the device index is out of range"),  # four units on the bench
    "velmor/motor/b": (None, "does not end in a unit index"),
}


def test_a_device_without_its_unit_is_a_fault_in_words():
    with served_together({name: serial for name, (serial, _) in NO_UNIT.items()}) as proxies:
        for name, (_, words) in NO_UNIT.items():
            proxy = proxies[name]
            assert proxy.state() == tango.DevState.FAULT, name
            assert words in proxy.status(), name
            with pytest.raises(tango.DevFailed) as failure:
                proxy.On()
            assert failure.value.args[0].reason == "VELMOR_UNIT_UNAVAILABLE", name
            with pytest.raises(tango.DevFailed):
                proxy.Position
