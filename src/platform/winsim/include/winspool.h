// winsim: declarations of the winspool subset the program calls.
#pragma once
#include "windef.h"
