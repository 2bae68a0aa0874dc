// DTR Pulse Out: puts one timed pulse on the DTR line of a serial port.
// Placeholder entry until the Win32 window lands.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
