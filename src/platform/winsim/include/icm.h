// winsim: declarations of the icm subset the program calls.
#pragma once
#include "windef.h"
