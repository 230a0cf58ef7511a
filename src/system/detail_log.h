// The detail log: one append-only text file in which every subsystem writes
// numbered lines about what it did, for administrators and support.
//
// Each line is written by opening the file for appending, writing and closing
// it again, so that several threads (and a crashed run) never lose or mix
// lines; afterwards the thread's last-error value is 0. Three writers decide
// by the level whether a line is written at all: kWriteLog while the log is
// enabled, kWriteLogLevel1 when the level is not 0 and kWriteLogLevel99 when
// it is above 98. A disabled log costs one test of a flag per line.
#pragma once

#include <climits>
#include <cstdarg>
#include <string>

#include "platform/win32.h"

// The log formats print DWORD values with %u, as Windows programs always
// have. Where long and int have the same size (the Windows data model) that
// is right although the compiler's format check would complain, so the check
// runs only where the sizes differ, which is where a wrong format would
// really print a wrong number.
#if defined(__GNUC__) && ULONG_MAX != UINT_MAX
#define KV_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KV_PRINTF_FORMAT(fmt, args)
#endif

// printf-style formatting into a std::string, for log lines and messages
// built before they are written.
std::string kFormatText(const char* pszFormat, ...) KV_PRINTF_FORMAT(1, 2);

class CDetailLog {
 public:
  // The registry key and value that switch the detail log on for a machine.
  static constexpr const char* kLogLevelKey = "SOFTWARE\\HALVERN\\IMG\\DI\\LOG";
  static constexpr const char* kLogLevelValue = "OutputLevel";
  // The file name of the log in the temporary folder.
  static constexpr const char* kLogFileName = "KV_SETUPDetail.LOG";

  CDetailLog() = default;

  // Switches the log on or off, names its file and sets its level. An empty
  // path leaves the log enabled but writing nothing.
  void kSetDetailLogFileSetting(BOOL bEnable, const std::string& strPath, DWORD dwLevel);

  BOOL kIsEnabled() const { return m_bEnable; }
  DWORD kGetOutputLevel() const { return m_dwOutputLevel; }
  const std::string& kGetLogFile() const { return m_strLogFile; }

  // The three writers; printf formatting.
  void kWriteLog(const char* pszFormat, ...) const KV_PRINTF_FORMAT(2, 3);
  void kWriteLogLevel1(const char* pszFormat, ...) const KV_PRINTF_FORMAT(2, 3);
  void kWriteLogLevel99(const char* pszFormat, ...) const KV_PRINTF_FORMAT(2, 3);
  // The base writer with the local time "YYYY/MM/DD hh:mm:ss" and a blank
  // in front of the text.
  void kWriteLogTime(const char* pszFormat, ...) const KV_PRINTF_FORMAT(2, 3);
  // The base writer for callers that already hold a va_list.
  void kWriteLogV(const char* pszFormat, va_list args) const;

  // The level configured for this machine: the DWORD "OutputLevel" under
  // HKEY_LOCAL_MACHINE "SOFTWARE\HALVERN\IMG\DI\LOG", or 0 when the key or
  // the value is missing or not a DWORD.
  static DWORD kReadOutputLevel();

 private:
  BOOL kIsWritable() const { return m_bEnable && !m_strLogFile.empty(); }
  void kAppendLine(const std::string& strText) const;

  BOOL m_bEnable = FALSE;
  std::string m_strLogFile;
  DWORD m_dwOutputLevel = 0;
};
