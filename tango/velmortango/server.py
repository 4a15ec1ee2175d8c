"""The device server VelmorTango: one VelmorMotor device per unit.

    VelmorTango INSTANCE [Tango options]

Started with -nodb and no -dlist, it serves every unit attached at its start as the device
velmor/motor/N, N the unit's index then.
"""

import sys

import velmorlib
from tango.server import run

from .motor import VelmorMotor

SERVER_NAME = "VelmorTango"


def attached_unit_devices():
    """velmor/motor/1 to velmor/motor/N for the N units attached now."""
    return ["velmor/motor/{}".format(index) for index in range(1, velmorlib.get_device_count() + 1)]


def server_arguments(arguments):
    """The arguments for Tango, with the attached units as the device list of a -nodb start without one."""
    arguments = list(arguments)
    if "-nodb" in arguments and "-dlist" not in arguments:
        devices = attached_unit_devices()
        if not devices:
            raise SystemExit("{}: no supported unit is attached".format(SERVER_NAME))
        arguments += ["-dlist", ",".join(devices)]
    return [SERVER_NAME] + arguments


def main(arguments=None):
    return run((VelmorMotor,), args=server_arguments(sys.argv[1:] if arguments is None else arguments))


if __name__ == "__main__":
    main()
