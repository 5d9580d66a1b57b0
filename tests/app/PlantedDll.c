/* A DLL that nothing should load by name: it stands for one planted in the
   program's folder or in the current directory. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

__declspec(dllexport) int plantedMarker(void)
{
    return 42;
}
