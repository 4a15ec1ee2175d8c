#include "Terminal.h"

#include <windows.h>

namespace {

// A console handle has a console mode; a pipe, a file or NUL has none.
bool isConsole(DWORD standardHandle)
{
    DWORD mode = 0;
    const HANDLE handle = GetStdHandle(standardHandle);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

} // namespace

bool Terminal::isStandardInput()
{
    return isConsole(STD_INPUT_HANDLE);
}

bool Terminal::isStandardError()
{
    return isConsole(STD_ERROR_HANDLE);
}
