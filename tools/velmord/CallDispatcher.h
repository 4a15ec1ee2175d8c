// Runs one client's Call message as a library call in the client's session and words the reply:
// the result code, then the call's out-values in the order of its arguments.
#ifndef VELMORD_CALLDISPATCHER_H
#define VELMORD_CALLDISPATCHER_H

#include "BrokerMessage.h"

#include <optional>
#include <string>

namespace CallDispatcher {

// Whether the message names a function and its fields fit the function's arguments.
bool fitsAFunction(const BrokerMessage &call);
// The reply; nothing when the message does not name a function or its fields do not fit the
// function's arguments.
std::optional<BrokerMessage> run(const BrokerMessage &call);
// The function's name for the log, "" for an unknown number.
std::string functionName(const BrokerMessage &call);

} // namespace CallDispatcher

#endif // VELMORD_CALLDISPATCHER_H
