// The one entry point of the driver package analysis: initialisation, the
// candidate list and its error texts, and thin logging wrappers around the
// Setup API calls that other parts of the program need (device enumeration,
// the INF copy, and the copy of driver files that may be stored compressed).
//
// Calling order: VEXOInitialize once; then VEXOMakeCandidateDriverList;
// after 0, VEXOGetCandidateDriverList; after VEXOERR_READINFERR,
// VEXOGetErrorInfomatio. The facade never shows a message itself.
#pragma once

#include <memory>
#include <string>

#include "driverinfo/candidate_driver.h"
#include "driverinfo/vexo_error.h"
#include "platform/win32.h"

class CSetupApi;
class CInfFile;
class CCandidateDriverInfomation;

class CDriverInfomation {
 public:
  CDriverInfomation();
  ~CDriverInfomation();
  CDriverInfomation(const CDriverInfomation&) = delete;
  CDriverInfomation& operator=(const CDriverInfomation&) = delete;

  // Binds the Setup API (strDllFolder joins PATH first), then creates the INF
  // reader and the candidate builder. VEXOERR_SUCCESS,
  // VEXOERR_SETUPAPI_NOTLOAD or VEXOERR_CREATE_CLASS.
  DWORD VEXOInitialize(const std::string& strDllFolder);
  // 0, VEXOERR_SOURCEPATHNG or VEXOERR_READINFERR, as the builder returns it.
  DWORD VEXOMakeCandidateDriverList(std::string strSearchPath, const std::string& strLangID, BOOL bListedOnly);
  // The builder's list, owned by the facade (empty before initialisation).
  CCandidateDriverList& VEXOGetCandidateDriverList();
  // Error text 1: path of the INF file being read; error text 2: the key or
  // rule that failed (empty after a successful build).
  void VEXOGetErrorInfomatio(std::string& strErrorText1, std::string& strErrorText2) const;

  // ---- Setup API wrappers ---------------------------------------------------
  // Each calls the same-named CSetupApi wrapper and logs; before a successful
  // initialisation they fail (FALSE, INVALID_HANDLE_VALUE).
  HDEVINFO kSetupDiGetClassDevs(const GUID* pClassGuid, PCSTR pszEnumerator, HWND hwndParent, DWORD dwFlags);
  BOOL kSetupDiEnumDeviceInfo(HDEVINFO hDevInfo, DWORD dwMemberIndex, PSP_DEVINFO_DATA pDeviceInfoData);
  BOOL kSetupDiGetDeviceRegistryProperty(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDeviceInfoData, DWORD dwProperty,
                                         PDWORD pdwPropertyRegDataType, PBYTE pPropertyBuffer,
                                         DWORD dwPropertyBufferSize, PDWORD pdwRequiredSize);
  BOOL kSetupDiDestroyDeviceInfoList(HDEVINFO hDevInfo);
  // *pbCopyFailed is TRUE when the copy failed; may be null.
  BOOL kSetupCopyOEMInf(PCSTR pszSourceInfFileName, PCSTR pszOEMSourceMediaLocation, DWORD dwOEMSourceMediaType,
                        DWORD dwCopyStyle, PSTR pszDestinationInfFileName, DWORD dwDestinationInfFileNameSize,
                        PDWORD pdwRequiredSize, PSTR* ppszDestinationInfFileNameComponent, BOOL* pbCopyFailed);

  // Copies a driver file to the target, expanding it when it is stored
  // compressed (LZ under its own or its "_" name, or a one-file cabinet). The
  // target is overwritten. When pstrCompressedCopy is given and the package
  // held only the "_" form, that compressed file is also copied beside the
  // target under the target's "_" name and *pstrCompressedCopy receives its
  // path; otherwise it is emptied. dwUnused is not read.
  BOOL kSetupDecompressOrCopyFile(const std::string& strSource, const std::string& strTarget, DWORD dwUnused,
                                  std::string* pstrCompressedCopy);

  // The parts, for the candidate builder's callers and tests; null before
  // VEXOInitialize created them.
  CSetupApi* kGetSetupApi() const { return m_pSetupApi.get(); }
  CInfFile* kGetInfFile() const { return m_pInfFile.get(); }
  CCandidateDriverInfomation* kGetCandidateDriverInfomation() const { return m_pCandidate.get(); }

 private:
  // Declared in creation order, so that they are destroyed in reverse.
  std::unique_ptr<CSetupApi> m_pSetupApi;
  std::unique_ptr<CInfFile> m_pInfFile;
  std::unique_ptr<CCandidateDriverInfomation> m_pCandidate;
  CCandidateDriverList m_lstNoCandidate;  // answered before initialisation
};
