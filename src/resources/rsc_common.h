// The resource component: the package's resource and licence folders, its
// languages, the message catalogue of the chosen language, message boxes and
// the licence text. Nothing here throws; every failure returns FALSE (or the
// numbered result) and leaves a readable description in kGetErrorMessage().
#pragma once

#include <string>

#include "resources/lang_info.h"
#include "resources/rsc_base.h"
#include "resources/rsc_common_info.h"
#include "resources/rsc_file.h"
#include "resources/rsc_irc_file.h"
#include "resources/rsc_language.h"
#include "resources/rsc_msg.h"
#include "system/detail_log.h"

class CRscCommon {
 public:
  // strIRCPrefix is put before every catalogue file name ("KV_" for the
  // program). The program's folder is taken from its own path; the detail log
  // starts switched off.
  explicit CRscCommon(const std::string& strIRCPrefix);
  CRscCommon(const CRscCommon&) = delete;
  CRscCommon& operator=(const CRscCommon&) = delete;

  // Sets whether the detail log is written, its file and its level, here and
  // in every part of the component.
  void kSetDetailLogFileSetting(BOOL bEnable, const std::string& strPath, DWORD dwLevel);

  // Owner window and default caption of message boxes.
  void kSetWindowHandle(HWND hWnd);
  void kSetCaption(const std::string& strCaption);

  // Runs the component against a package folder other than the program's own
  // (the package tools do); the folder ends in a backslash.
  void kSetModulePath(const std::string& strModulePath);
  const std::string& kGetModulePath() const { return m_Base.m_strModulePath; }

  // Resource.ini (the folders), then ResourceDef.ini (the languages). Exits:
  // (1) the folders failed, (2) the definitions failed.
  [[nodiscard]] BOOL kCollectiveFileAnalyze();

  // Decide the language (with or without the fall-backs) and load its
  // catalogue; TRUE only when both succeed.
  [[nodiscard]] BOOL kDecideLanguage(const std::string& strLanguage);
  [[nodiscard]] BOOL kTempDecideLanguage(const std::string& strLanguage);

  CLangInfo kGetLanguage() const { return m_Base.m_CurrentLang; }

  // The text of a message ID, "" when the catalogue lacks it (shown in a box
  // when nShowIfMissing is 1). A number below 0x10000 names the string
  // resource of the program that holds the message ID.
  std::string kGetMessageText(const std::string& strMessageID, int nShowIfMissing = 0);
  std::string kGetMessageText(UINT uMessageID, int nShowIfMissing = 0);

  // Shows a message box (the default caption when strCaption is empty) and
  // returns the button pressed, 0 when it could not be shown.
  int kDispMessageBox(const std::string& strText, const std::string& strCaption, UINT uStyle);

  std::string kGetErrorMessage() const { return m_Base.m_strErrorMessage; }

  // The licence text of the current language; 0, DEF_GETFILE_FILE_NOT_FOUND
  // (1) or DEF_GETFILE_FAILED (99). An empty prefix means "DI_".
  [[nodiscard]] int kGetLicenseFile(std::string& strText, const std::string& strPrefix);

  // The loaded catalogue file, "" before the first load.
  const std::string& kGetIRCFilePath() const { return m_Base.m_strIRCFilePath; }

 private:
  BOOL kLoadAfterDecision(BOOL bDecided, const char* pszFunction);

  CRscBase m_Base;
  CRscCommonInfo m_CommonInfo;
  CRscFile m_File;
  CRscIRCFile m_IRCFile;
  CRscLanguage m_Language;
  CRscMsg m_Msg;
  CDetailLog m_Log;
};
