// The detail log shared by every subsystem.
#include "system/detail_log.h"

#include <cstdio>
#include <vector>

#include "system/handle_owner.h"

namespace {

// Formats with printf rules into a string of any length.
std::string formatText(const char* pszFormat, va_list args) {
  char szSmall[512];
  va_list copy;
  va_copy(copy, args);
  const int nLength = std::vsnprintf(szSmall, sizeof(szSmall), pszFormat, copy);
  va_end(copy);
  if (nLength < 0) return std::string();
  if (static_cast<size_t>(nLength) < sizeof(szSmall)) return std::string(szSmall, static_cast<size_t>(nLength));
  std::vector<char> big(static_cast<size_t>(nLength) + 1);
  std::vsnprintf(big.data(), big.size(), pszFormat, args);
  return std::string(big.data(), static_cast<size_t>(nLength));
}

// The file is read with Notepad on Windows, so line feeds are written as
// carriage return and line feed, as a text-mode stream would write them.
std::string toFileLineEnds(const std::string& strText) {
  std::string strOut;
  strOut.reserve(strText.size() + 8);
  for (size_t i = 0; i < strText.size(); ++i) {
    if (strText[i] == '\n' && (i == 0 || strText[i - 1] != '\r')) strOut.push_back('\r');
    strOut.push_back(strText[i]);
  }
  return strOut;
}

}  // namespace

void CDetailLog::kSetDetailLogFileSetting(BOOL bEnable, const std::string& strPath, DWORD dwLevel) {
  m_bEnable = bEnable ? TRUE : FALSE;
  m_strLogFile = strPath;
  m_dwOutputLevel = dwLevel;
}

void CDetailLog::kWriteLog(const char* pszFormat, ...) const {
  if (!kIsWritable()) return;
  va_list args;
  va_start(args, pszFormat);
  kAppendLine(formatText(pszFormat, args));
  va_end(args);
}

void CDetailLog::kWriteLogLevel1(const char* pszFormat, ...) const {
  if (!kIsWritable() || m_dwOutputLevel == 0) return;
  va_list args;
  va_start(args, pszFormat);
  kAppendLine(formatText(pszFormat, args));
  va_end(args);
}

void CDetailLog::kWriteLogLevel99(const char* pszFormat, ...) const {
  if (!kIsWritable() || m_dwOutputLevel <= 98) return;
  va_list args;
  va_start(args, pszFormat);
  kAppendLine(formatText(pszFormat, args));
  va_end(args);
}

void CDetailLog::kWriteLogTime(const char* pszFormat, ...) const {
  if (!kIsWritable()) return;
  SYSTEMTIME st;
  GetLocalTime(&st);
  char szTime[64];
  std::snprintf(szTime, sizeof(szTime), "%04u/%02u/%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                st.wMinute, st.wSecond);
  va_list args;
  va_start(args, pszFormat);
  const std::string strText = formatText(pszFormat, args);
  va_end(args);
  kAppendLine(std::string(szTime) + " " + strText);
}

void CDetailLog::kWriteLogV(const char* pszFormat, va_list args) const {
  if (!kIsWritable()) return;
  kAppendLine(formatText(pszFormat, args));
}

void CDetailLog::kAppendLine(const std::string& strText) const {
  // Appending: Windows places every write of an append-only handle at the
  // end of the file, also when another thread or process appends at the
  // same time; the explicit move to the end covers systems that do not.
  CHandleOwner file(CreateFileA(m_strLogFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.kIsValid()) {
    SetFilePointer(file.kGet(), 0, nullptr, FILE_END);
    const std::string strOut = toFileLineEnds(strText);
    DWORD dwWritten = 0;
    WriteFile(file.kGet(), strOut.data(), static_cast<DWORD>(strOut.size()), &dwWritten, nullptr);
  }
  SetLastError(0);
}

DWORD CDetailLog::kReadOutputLevel() {
  CRegKeyOwner key;
  // Full access, as the product has always opened this key; the level is
  // only read.
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLogLevelKey, 0, 0xF003F, key.kOut()) != ERROR_SUCCESS) return 0;
  DWORD dwType = 0;
  DWORD dwValue = 0;
  DWORD cbData = sizeof(dwValue);
  if (RegQueryValueExA(key.kGet(), kLogLevelValue, nullptr, &dwType, reinterpret_cast<LPBYTE>(&dwValue), &cbData) !=
          ERROR_SUCCESS ||
      dwType != REG_DWORD || cbData != sizeof(dwValue)) {
    return 0;
  }
  return dwValue;
}

std::string kFormatText(const char* pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  va_list copy;
  va_copy(copy, args);
  const int nLength = std::vsnprintf(nullptr, 0, pszFormat, copy);
  va_end(copy);
  std::string strOut;
  if (nLength > 0) {
    std::vector<char> buffer(static_cast<size_t>(nLength) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), pszFormat, args);
    strOut.assign(buffer.data(), static_cast<size_t>(nLength));
  }
  va_end(args);
  return strOut;
}
