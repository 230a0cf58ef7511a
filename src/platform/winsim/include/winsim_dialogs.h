// winsim: the user32 subset for dialogs, controls and message boxes
// (included by winuser.h).
#pragma once
#include "windef.h"
