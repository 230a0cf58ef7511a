// winsim: the umbrella header, as windows.h is on Windows.
#pragma once
#include "windef.h"
#include "winnt.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winreg.h"
#include "winsvc.h"
#include "wingdi.h"
#include "winuser.h"
#include "winver.h"
