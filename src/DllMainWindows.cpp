// VelmorLib.dll's entry point: the library starts no threads and keeps nothing per thread, so it
// asks Windows not to call it for every thread the host starts and ends.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}
