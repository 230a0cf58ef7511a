// The result codes of the driver-information facade, also returned by the
// spooler installation operations. The numbers are fixed: parent installers
// and support know them.
#pragma once

#include "platform/win32.h"

constexpr DWORD VEXOERR_SUCCESS = 0;
constexpr DWORD VEXOERR_SETUPAPI_NOTLOAD = 1;  // binding the Setup API failed
constexpr DWORD VEXOERR_CREATE_CLASS = 2;      // the INF reader or the builder could not be created
constexpr DWORD VEXOERR_SOURCEPATHNG = 3;      // the search path is unusable or holds no INF file
constexpr DWORD VEXOERR_READINFERR = 4;        // an INF or description file broke a rule
constexpr DWORD VEXOERR_ADDMONITORERR = 17;    // adding a port or language monitor failed
constexpr DWORD VEXOERR_ADDDRIVERERR = 18;     // adding a printer driver failed
