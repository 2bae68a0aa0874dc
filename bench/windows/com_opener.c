// SPDX-License-Identifier: MIT
/* The yardstick for the line at Start on Windows: the least a Win32 program
 * does to open a port with DTR low. bench/wire_pulse runs it under Wine in
 * the wire guest, taking turns with the program.
 *   com_opener COMn     opens \\.\COMn, lowers DTR, closes */
#include <windows.h>

#include <stdio.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) { fputs("usage: com_opener COMn\n", stderr); return 2; }
    wchar_t path[64];
    swprintf(path, 64, L"\\\\.\\%ls", argv[1]);
    HANDLE port = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (port == INVALID_HANDLE_VALUE) { fprintf(stderr, "%ls: error %lu\n", path, GetLastError()); return 1; }
    EscapeCommFunction(port, CLRDTR);
    CloseHandle(port);
    return 0;
}
