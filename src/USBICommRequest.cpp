#include "USBICommRequest.h"

#include <atomic>

qint32 USBICommRequest::nextRequestId()
{
    // Atomic so that requests built in several threads still get unique ids in sequence.
    static std::atomic<qint32> s_lastRequestId{100};
    return ++s_lastRequestId;
}
