// winsim: declarations of the psapi subset the program calls.
#pragma once
#include "windef.h"
