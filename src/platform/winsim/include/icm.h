// winsim: declarations of the icm (colour management) subset the program calls.
#pragma once
#include "windef.h"

// Profile classes: the ICC header's class signature (bytes 12..15, read as a
// big-endian number), 'prtr' for a printer and so on.
#define CLASS_MONITOR 0x6D6E7472    /* 'mntr' */
#define CLASS_PRINTER 0x70727472    /* 'prtr' */
#define CLASS_SCANNER 0x73636E72    /* 'scnr' */
#define CLASS_LINK 0x6C696E6B       /* 'link' */
#define CLASS_ABSTRACT 0x61627374   /* 'abst' */
#define CLASS_COLORSPACE 0x73706163 /* 'spac' */
#define CLASS_NAMED 0x6E6D636C      /* 'nmcl' */

#define ENUM_TYPE_VERSION 0x0300

typedef struct tagENUMTYPEA {
  DWORD dwSize;
  DWORD dwVersion;
  DWORD dwFields;
  PCSTR pDeviceName;
  DWORD dwMediaType;
  DWORD dwDitheringMode;
  DWORD dwResolution[2];
  DWORD dwCMMType;
  DWORD dwClass;
  DWORD dwDataColorSpace;
  DWORD dwConnectionSpace;
  DWORD dwSignature;
  DWORD dwPlatform;
  DWORD dwProfileFlags;
  DWORD dwManufacturer;
  DWORD dwModel;
  DWORD dwAttributes[2];
  DWORD dwRenderingIntent;
  DWORD dwCreator;
  DWORD dwDeviceClass;
} ENUMTYPEA, *PENUMTYPEA, *LPENUMTYPEA;

// The ENUMTYPEA fields an enumeration selects by (dwFields).
#define ET_DEVICENAME 0x00000001
#define ET_MEDIATYPE 0x00000002
#define ET_DITHERMODE 0x00000004
#define ET_RESOLUTION 0x00000008
#define ET_CMMTYPE 0x00000010
#define ET_CLASS 0x00000020
#define ET_DATACOLORSPACE 0x00000040
#define ET_CONNECTIONSPACE 0x00000080
#define ET_SIGNATURE 0x00000100
#define ET_PLATFORM 0x00000200
#define ET_PROFILEFLAGS 0x00000400
#define ET_MANUFACTURER 0x00000800
#define ET_MODEL 0x00001000
#define ET_ATTRIBUTES 0x00002000
#define ET_RENDERINGINTENT 0x00004000
#define ET_CREATOR 0x00008000
#define ET_DEVICECLASS 0x00010000

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI GetColorDirectoryA(PCSTR pMachineName, PSTR pBuffer, PDWORD pdwSize);
BOOL WINAPI EnumColorProfilesA(PCSTR pMachineName, PENUMTYPEA pEnumRecord, PBYTE pEnumerationBuffer,
                               PDWORD pdwSizeOfEnumerationBuffer, PDWORD pnProfiles);
BOOL WINAPI InstallColorProfileA(PCSTR pMachineName, PCSTR pProfileName);
BOOL WINAPI UninstallColorProfileA(PCSTR pMachineName, PCSTR pProfileName, BOOL bDelete);
BOOL WINAPI AssociateColorProfileWithDeviceA(PCSTR pMachineName, PCSTR pProfileName, PCSTR pDeviceName);
BOOL WINAPI DisassociateColorProfileFromDeviceA(PCSTR pMachineName, PCSTR pProfileName, PCSTR pDeviceName);

#ifdef __cplusplus
}
#endif
