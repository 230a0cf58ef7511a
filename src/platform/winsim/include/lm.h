// winsim: declarations of the lm subset the program calls.
#pragma once
#include "windef.h"
