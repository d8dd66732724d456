#include "shell/shell.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    tovalen::start_up();
    tovalen::run_event_loop();
}
