// winsim: declarations of the lzexpand subset the program calls.
#pragma once
#include "windef.h"
