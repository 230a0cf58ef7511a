// The state shared by the five parts of the resource component, and the
// readable descriptions of its failures.
#pragma once

#include <string>
#include <unordered_map>

#include "platform/win32.h"
#include "resources/irc_message.h"
#include "resources/lang_info.h"
#include "system/detail_log.h"

class CRscBase {
 public:
  std::string m_strModulePath;    // folder of the program, with its trailing backslash
  std::string m_strResourcePath;  // absolute folder of the catalogues
  std::string m_strLicensePath;   // absolute folder of the licence texts
  HWND m_hWnd = nullptr;          // owner of message boxes
  std::string m_strCaption;       // caption of message boxes given none
  CLangInfo m_CurrentLang;        // the chosen language
  std::string m_strIRCPrefix;     // put before every catalogue file name
  std::string m_strErrorMessage;  // description of the last failure
  std::string m_strIRCFilePath;   // full path of the loaded catalogue
  // Message ID to entry; IDs compare exactly, so case matters.
  std::unordered_map<std::string, CIRCMessage> m_mapMessage;

  // The detail-log settings the application gave the component.
  BOOL m_bLogEnable = FALSE;
  std::string m_strLogFile;
  DWORD m_dwLogLevel = 0;

  // Each sets m_strErrorMessage to one of the component's error texts.
  void kSetWinApiError(const char* pszApi, DWORD dwCode, const std::string& strInfomation);
  void kSetArgumentError(const char* pszFunction, int nCode);
  void kSetKeyAccessError(const std::string& strFile, const char* pszSection, const char* pszKey, int nCode);
  void kSetFileAccessError(const std::string& strFile, const char* pszAccess, DWORD dwCode);
  void kSetNoMessageTextError(const std::string& strFile, const std::string& strSection);
  void kSetNoMessageIdError(const std::string& strMessageID, const std::string& strFile);
  void kSetKeyAppointmentError(const std::string& strFile, const std::string& strSection, const char* pszKey,
                               const char* pszContents);
  void kSetLanguageError(const std::string& strLanguage, int nCode);
};

// The base of the five parts: the shared state and the part's own detail-log
// settings.
class CRscPart {
 public:
  explicit CRscPart(CRscBase& rBase) : m_rBase(rBase) {}
  CRscPart(const CRscPart&) = delete;
  CRscPart& operator=(const CRscPart&) = delete;

  void kSetDetailLogFileSetting(BOOL bEnable, const std::string& strPath, DWORD dwLevel) {
    m_Log.kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
  }

 protected:
  CRscBase& m_rBase;
  // Error lines go to kWriteLog, information lines to kWriteLogLevel1 and
  // trace lines to kWriteLogLevel99.
  CDetailLog m_Log;
};
