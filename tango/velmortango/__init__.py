"""VelmorLib's units as Tango devices: the device server VelmorTango, device class VelmorMotor.

engine.Engine makes every library call of the server on one thread: it polls the units it
holds in rounds and runs the clients' requests between polls, Stop ahead of everything else.
motor.VelmorMotor is the Tango device of one unit, found by its serial number.
"""
