// Changes the primary display's resolution the Windows way, as a player's settings do:
// the running programs then hear of it (a change from outside Wine reaches none of them).
//
//   set_resolution WIDTH HEIGHT    exit status 0 once changed

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("usage: set_resolution WIDTH HEIGHT\n", stderr);
        return 2;
    }
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(std::atoi(argv[1]));
    mode.dmPelsHeight = static_cast<DWORD>(std::atoi(argv[2]));
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    const LONG result = ChangeDisplaySettingsW(&mode, 0);
    if (result != DISP_CHANGE_SUCCESSFUL) {
        std::fprintf(stderr, "set_resolution: Windows refused %sx%s (%ld)\n", argv[1], argv[2], result);
        return 1;
    }
    return 0;
}
