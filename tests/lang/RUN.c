/* A language library that runs code when it is loaded as a program library:
   its entry point leaves "<its own path>.ran" beside it. Loaded as data, the
   entry point never runs and no marker appears. */
#include <windows.h>

#include <strsafe.h>

BOOL WINAPI DllMain(HINSTANCE hinstDll, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
    {
        char path[MAX_PATH + 8] = {0};
        DWORD length = GetModuleFileNameA(hinstDll, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH && SUCCEEDED(StringCchCatA(path, sizeof path, ".ran")))
        {
            HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            if (file != INVALID_HANDLE_VALUE)
                CloseHandle(file);
        }
    }
    return TRUE;
}
