// velmorctl: the command-line host application of VelmorLib.
#include "Application.h"
#include "ExitStatus.h"

#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    try {
        return Application().run(argc, argv);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "velmorctl: %s\n", error.what());
        return ExitStatus::s_internalError;
    }
}
