// Caller preconditions: a violated one names its condition, the file and the line and stops
// the program, in every build. Only programming errors may reach one: whatever a device or a
// host can send is handled as an error with a result instead.
#ifndef VELMOR_ASSERT_H
#define VELMOR_ASSERT_H

#include <QtGlobal>

#define VELMOR_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : qt_assert(#condition, __FILE__, __LINE__))

#endif // VELMOR_ASSERT_H
