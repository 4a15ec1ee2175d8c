#include "Terminal.h"

#include <unistd.h>

bool Terminal::isStandardInput()
{
    return isatty(STDIN_FILENO) == 1;
}

bool Terminal::isStandardError()
{
    return isatty(STDERR_FILENO) == 1;
}
