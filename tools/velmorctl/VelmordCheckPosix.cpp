#include "VelmordCheck.h"

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

// The name of `uid` (of this user for -1), or "uid N" where the system knows none.
std::string VelmordCheck::userName(int64_t uid)
{
    const uid_t user = uid < 0 ? geteuid() : uid_t(uid);
    const passwd *entry = getpwuid(user);
    return entry != nullptr ? entry->pw_name : "uid " + std::to_string(user);
}

int64_t VelmordCheck::ownProcess()
{
    return int64_t(getpid());
}

// Connecting to a Unix socket takes write permission on it.
std::string VelmordCheck::accessProblem(const std::string &path)
{
    return access(path.c_str(), R_OK | W_OK) == 0 ? std::string() : userName(-1) + " may not use it";
}

std::string VelmordCheck::startAdvice()
{
    return "sudo systemctl enable --now velmord.socket for every member of plugdev, systemctl --user enable --now "
           "velmord.socket for your own programs, or velmord in a terminal";
}
