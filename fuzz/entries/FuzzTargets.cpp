#include "FuzzEntries.h"

QVector<FuzzEntries::Target> FuzzEntries::targets()
{
    return {
        {"PacketEngine", packetEngine},
        {"DeviceInformation", deviceInformation},
        {"SerialIdentity", serialIdentity},
        {"Records", records},
        {"VelmorctlCommandLine", velmorctlCommandLine},
        {"VelmorctlShell", velmorctlShell},
        {"EmulatorBenchText", emulatorBenchText},
        {"EmulatorStateFile", emulatorStateFile},
        {"BrokerMessage", brokerMessage},
    };
}
