// winsim: declarations of the winuser subset the program calls.
#pragma once
#include "windef.h"
