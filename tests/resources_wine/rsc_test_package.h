// A scratch driver package for the resource tests, built with Win32 calls
// only, so that the same tests run on winsim and under Wine.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace rsctest {

// Converts UTF-16 text to the ANSI code page of the system, as the
// catalogue reader does: what a test expects to read back.
inline std::string toAnsi(const std::u16string& text) {
  if (text.empty()) return std::string();
  const WCHAR* pWide = reinterpret_cast<const WCHAR*>(text.data());
  const int nBytes = WideCharToMultiByte(CP_ACP, 0, pWide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(nBytes > 0 ? nBytes : 0), '\0');
  if (nBytes > 0) WideCharToMultiByte(CP_ACP, 0, pWide, static_cast<int>(text.size()), out.data(), nBytes, nullptr, nullptr);
  return out;
}

inline std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// A fresh folder in the machine's temporary folder; the package itself is
// its sub-folder "pkg\", so that tests can also place files beside it.
class ScratchPackage {
 public:
  ScratchPackage() {
    static unsigned s_nCounter = 0;
    char szTemp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, szTemp);
    m_strRoot = szTemp;
    if (!m_strRoot.empty() && m_strRoot.back() != '\\') m_strRoot += '\\';
    m_strRoot += "kvrsc" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount()) + "_" +
                 std::to_string(++s_nCounter) + "\\";
    CreateDirectoryA(m_strRoot.c_str(), nullptr);
    makeDir("pkg");
  }

  // The temporary folder that holds the package, with a trailing backslash.
  const std::string& root() const { return m_strRoot; }
  // The package folder (where the program would be), with a trailing backslash.
  std::string folder() const { return m_strRoot + "pkg\\"; }

  // Creates a folder (and its parents) below root().
  void makeDir(const std::string& strRelative) const {
    std::string strPath = m_strRoot;
    size_t nStart = 0;
    while (nStart <= strRelative.size()) {
      size_t nEnd = strRelative.find('\\', nStart);
      if (nEnd == std::string::npos) nEnd = strRelative.size();
      strPath += strRelative.substr(nStart, nEnd - nStart);
      CreateDirectoryA(strPath.c_str(), nullptr);
      strPath += '\\';
      nStart = nEnd + 1;
    }
  }

  // Writes a file below root() byte for byte.
  bool writeBytes(const std::string& strRelative, const std::string& strBytes) const {
    HANDLE h = CreateFileA((m_strRoot + strRelative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD dwWritten = 0;
    const BOOL bOk = WriteFile(h, strBytes.data(), static_cast<DWORD>(strBytes.size()), &dwWritten, nullptr);
    CloseHandle(h);
    return bOk && dwWritten == strBytes.size();
  }

  // An ANSI text file; lines given with "\n" are written with CR LF.
  bool writeAnsi(const std::string& strRelative, const std::string& strText) const {
    return writeBytes(strRelative, crlf(strText));
  }

  // A UTF-16 LE file with its byte order mark, as the catalogues are stored.
  bool writeUtf16(const std::string& strRelative, const std::u16string& text) const {
    std::string strBytes = "\xFF\xFE";
    for (char16_t c : crlf16(text)) {
      strBytes.push_back(static_cast<char>(c & 0xFF));
      strBytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return writeBytes(strRelative, strBytes);
  }

 private:
  static std::string crlf(const std::string& strText) {
    std::string out;
    for (char c : strText) {
      if (c == '\n') out.push_back('\r');
      out.push_back(c);
    }
    return out;
  }
  static std::u16string crlf16(const std::u16string& text) {
    std::u16string out;
    for (char16_t c : text) {
      if (c == u'\n') out.push_back(u'\r');
      out.push_back(c);
    }
    return out;
  }

  std::string m_strRoot;
};

// One language section of ResourceDef.ini.
inline std::string langSection(const std::string& strSection, const std::string& strOmitted,
                               const std::string& strTwo, const std::string& strLangID,
                               const std::string& strPrimary, const std::string& strPrimaryUse,
                               const std::string& strFile, const std::string& strExtra = std::string()) {
  return "[" + strSection + "]\nOmittedName=" + strOmitted + "\nTwoLetter=" + strTwo + "\nLangID=" + strLangID +
         "\nPrimaryLangID=" + strPrimary + "\nSubLangID=0x01\nPrimaryUSE=" + strPrimaryUse +
         "\nIRCFileName=" + strFile + "\nIRCSectionName=" + strSection + "\n" + strExtra;
}

}  // namespace rsctest
