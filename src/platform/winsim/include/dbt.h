// winsim: declarations of the dbt subset the program calls.
#pragma once
#include "windef.h"
