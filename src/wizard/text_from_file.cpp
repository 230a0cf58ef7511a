#include "wizard/text_from_file.h"

#include "system/program_log.h"

BOOL kStdAfxGetTextFromFile(std::string& strText, const std::string& strPath) {
  strText.clear();
  HANDLE hFile = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) {
    kProgramLog().kWriteLog("kStdAfxGetTextFromFile() return TRUE (1) LastError=%u Open fail.\n",
                            static_cast<unsigned>(GetLastError()));
    return TRUE;
  }
  // Read as a text file: line by line, each line ending in CR LF whatever
  // ended it in the file (LF, CR LF or the end of the file).
  std::string strResult, strLine;
  bool bPendingLine = false;
  char buffer[8192];
  DWORD dwRead = 0;
  BOOL bOk = TRUE;
  while ((bOk = ReadFile(hFile, buffer, sizeof(buffer), &dwRead, nullptr)) && dwRead > 0) {
    for (DWORD n = 0; n < dwRead; ++n) {
      const char c = buffer[n];
      if (c == '\n') {
        if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
        strResult += strLine;
        strResult += "\r\n";
        strLine.clear();
        bPendingLine = false;
      } else {
        strLine.push_back(c);
        bPendingLine = true;
      }
    }
  }
  const DWORD dwError = GetLastError();
  CloseHandle(hFile);
  if (!bOk) {
    kProgramLog().kWriteLog("kStdAfxGetTextFromFile Exception m_cause=%X\n", static_cast<unsigned>(dwError));
    return TRUE;
  }
  if (bPendingLine) {
    if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
    strResult += strLine + "\r\n";
  }
  strText.swap(strResult);
  return TRUE;
}
