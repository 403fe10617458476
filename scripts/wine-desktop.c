/* Holds Wine's desktop open while the Windows suite runs. The first program of a Wine session
   that touches the desktop starts Wine's desktop process, which inherits that program's standard
   output and lives as long as any program uses the desktop: under ctest that is a test's output
   pipe, and ctest waits for the test until the whole suite is over. Started first, with its
   output going nowhere, this program makes that process; it ends when wineserver -k ends it. */
#include <windows.h>

int main(void) {
    GetDesktopWindow();
    CreateWindowExW(0, L"STATIC", L"velmora-ci", 0, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    Sleep(INFINITE);
    return 0;
}
