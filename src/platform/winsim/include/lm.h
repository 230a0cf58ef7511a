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

// Share types (shi*_type): the kind in the low bits, the flags above.
#define STYPE_DISKTREE 0
#define STYPE_PRINTQ 1
#define STYPE_DEVICE 2
#define STYPE_IPC 3
#define STYPE_MASK 0x000000FF
#define STYPE_TEMPORARY 0x40000000
#define STYPE_SPECIAL 0x80000000
#define SHI_USES_UNLIMITED ((DWORD)-1)

typedef struct _SHARE_INFO_0 {
  LMSTR shi0_netname;
} SHARE_INFO_0, *PSHARE_INFO_0, *LPSHARE_INFO_0;

typedef struct _SHARE_INFO_1 {
  LMSTR shi1_netname;
  DWORD shi1_type;
  LMSTR shi1_remark;
} SHARE_INFO_1, *PSHARE_INFO_1, *LPSHARE_INFO_1;

typedef struct _SHARE_INFO_2 {
  LMSTR shi2_netname;
  DWORD shi2_type;
  LMSTR shi2_remark;
  DWORD shi2_permissions;
  DWORD shi2_max_uses;
  DWORD shi2_current_uses;
  LMSTR shi2_path;
  LMSTR shi2_passwd;
} SHARE_INFO_2, *PSHARE_INFO_2, *LPSHARE_INFO_2;

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
