// winsim: the user32 subset: window classes, windows, messages, timers.
// Dialogs, controls and message boxes are declared in winsim_dialogs.h.
#pragma once
#include "windef.h"
#include "winnt.h"
#include "winbase.h"

#include "winsim_dialogs.h"
