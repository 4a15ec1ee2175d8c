// The unit's start command sent straight through the emulator's D2XX functions, with the line
// set up as the unit expects it: a change of the unit's state that the emulator saves.
#ifndef VELMOR_TESTS_BUSSTART_H
#define VELMOR_TESTS_BUSSTART_H

void startOverTheBus(int interface);

#endif
