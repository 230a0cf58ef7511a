// winsim: declarations of the commctrl subset the program calls.
#pragma once
#include "windef.h"
