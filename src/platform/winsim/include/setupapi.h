// winsim: declarations of the setupapi subset the program calls.
#pragma once
#include "windef.h"
