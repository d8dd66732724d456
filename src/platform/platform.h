// The program's binding to the Windows services it uses: handle owners, the window layer with
// its tray icons and events, starting programs, and finding the copy that already runs.
#pragma once

#include "platform/handles.h"
#include "platform/programs.h"
#include "platform/single_copy.h"
#include "platform/system_calls.h"
#include "platform/window_layer.h"
