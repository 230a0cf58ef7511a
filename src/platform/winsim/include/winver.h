// winsim: declarations of the winver subset the program calls.
#pragma once
#include "windef.h"
