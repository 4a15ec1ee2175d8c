#include "CallTrace.h"

namespace trace {

std::string line(const VelmorEmulator::CallRecord &call)
{
    std::string text = call.function;
    for (uint64_t argument : call.arguments)
        text += " " + std::to_string(argument);
    return text;
}

std::vector<std::string> lines()
{
    std::vector<std::string> result;
    for (const VelmorEmulator::CallRecord &call : VelmorEmulator::calls())
        result.push_back(line(call));
    return result;
}

std::vector<VelmorEmulator::CallRecord> callsTo(const std::string &function)
{
    std::vector<VelmorEmulator::CallRecord> result;
    for (const VelmorEmulator::CallRecord &call : VelmorEmulator::calls()) {
        if (call.function == function)
            result.push_back(call);
    }
    return result;
}

size_t countOf(const std::string &function)
{
    return callsTo(function).size();
}

} // namespace trace
