// winsim: declarations of the newdev subset the program calls.
#pragma once
#include "windef.h"
