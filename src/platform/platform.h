// The program's binding to the Windows services it uses: handle owners, the window layer with
// its tray icons and events, and starting programs.
#pragma once

#include "platform/handles.h"
#include "platform/programs.h"
#include "platform/system_calls.h"
#include "platform/window_layer.h"
