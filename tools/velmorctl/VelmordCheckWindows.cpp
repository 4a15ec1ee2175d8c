#include "VelmordCheck.h"

#include <windows.h>

// Windows names users by security identifiers, which velmord does not pass on.
std::string VelmordCheck::userName(int64_t uid)
{
    return uid < 0 ? std::string("you") : "user " + std::to_string(uid);
}

int64_t VelmordCheck::ownProcess()
{
    return int64_t(GetCurrentProcessId());
}

// A pipe that is there but does not answer is velmord's to explain.
std::string VelmordCheck::accessProblem(const std::string &)
{
    return std::string();
}

std::string VelmordCheck::startAdvice()
{
    return "run velmord.exe and leave it running";
}
