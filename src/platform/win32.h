// The one include for every platform call of the program.
//
// The Windows build takes the SDK headers; the native build takes winsim's,
// which declare the same subset with the same names and signatures. Code above
// the platform layer includes this file and nothing else of the platform.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winsvc.h>
#include <winspool.h>
#include <setupapi.h>
#include <lzexpand.h>
#include <winver.h>
#include <commctrl.h>
#include <dbt.h>
#include <icm.h>
#include <psapi.h>
#include <lm.h>
#include <newdev.h>
#else
#include <windows.h>
#include <winsvc.h>
#include <winspool.h>
#include <setupapi.h>
#include <lzexpand.h>
#include <winver.h>
#include <commctrl.h>
#include <dbt.h>
#include <icm.h>
#include <psapi.h>
#include <lm.h>
#include <newdev.h>
#endif
