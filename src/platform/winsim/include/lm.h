// winsim: declarations of the lm subset the program calls (share enumeration
// of the server service; the program binds both functions at run time).
#pragma once
#include "windef.h"
#include "winerror.h"
#include "winspool.h"

typedef DWORD NET_API_STATUS;
typedef LPWSTR LMSTR;
#define NET_API_FUNCTION WINAPI

#define MAX_PREFERRED_LENGTH ((DWORD)-1)

typedef struct _SHARE_INFO_502 {
  LMSTR shi502_netname;
  DWORD shi502_type;
  LMSTR shi502_remark;
  DWORD shi502_permissions;
  DWORD shi502_max_uses;
  DWORD shi502_current_uses;
  LMSTR shi502_path;
  LMSTR shi502_passwd;
  DWORD shi502_reserved;
  PSECURITY_DESCRIPTOR shi502_security_descriptor;
} SHARE_INFO_502, *PSHARE_INFO_502, *LPSHARE_INFO_502;

#ifdef __cplusplus
extern "C" {
#endif
NET_API_STATUS NET_API_FUNCTION NetShareEnum(LMSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                                             LPDWORD entriesread, LPDWORD totalentries, LPDWORD resume_handle);
NET_API_STATUS NET_API_FUNCTION NetApiBufferFree(LPVOID Buffer);
#ifdef __cplusplus
}
#endif
