#include "LibraryInterface.h"

#include "USBDeviceIdentity.h"
#include "USBFtdiDevice.h"
#include "VelmorLib.h"

#include "ThreadAnnotations.h"
#include <exception>

QMutex LibraryInterface::s_apiMutex;
bool LibraryInterface::s_initialised = false;
bool LibraryInterface::s_handshakeDone[LibraryInterface::kIndexLimit] = {};
VersionNumber LibraryInterface::s_firmwareVersions[LibraryInterface::kIndexLimit];
QMap<VersionNumber, QSet<qint32>> LibraryInterface::s_supportedFirmware;

void LibraryInterface::fillSupportedFirmware()
{
    s_supportedFirmware.insert(VersionNumber(1, 1), {2});
    s_supportedFirmware.insert(VersionNumber(1, 2), {2, 3, 4});
    s_supportedFirmware.insert(VersionNumber(10, 1), {1});
    s_supportedFirmware.insert(VersionNumber(27, 1), {1});
}

QList<USBDevicePtr> LibraryInterface::listSupportedDevices()
{
    if (s_supportedFirmware.isEmpty())
        fillSupportedFirmware();
    QList<USBDevicePtr> supported;
    for (const USBDevicePtr &device : USBFtdiDevice::enumerate(true)) {
        if (hasOwnSerialPrefix(*device) && s_supportedFirmware.contains(hardwareVersion(*device)))
            supported.append(device);
    }
    return supported;
}

namespace {

// Nothing thrown may cross the C boundary; a failure the library did not foresee (memory
// exhausted, say) ends the call with the export's own failure code.
template <typename Body>
int32_t guarded(int32_t failureCode, Body body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failureCode;
    }
}

} // namespace

extern "C" {

VELMOR_API int32_t VELMOR_CALL initialise(void)
{
    AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
    for (bool &done : LibraryInterface::s_handshakeDone)
        done = false;
    LibraryInterface::s_initialised = true;
    return VELMOR_OK;
}

VELMOR_API int32_t VELMOR_CALL getDeviceCount(int32_t *count)
{
    return guarded(VELMOR_ERROR_OPEN_FAILED, [&] {
        if (count == nullptr)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        *count = static_cast<int32_t>(LibraryInterface::listSupportedDevices().size());
        return int32_t(VELMOR_OK);
    });
}

} // extern "C"
