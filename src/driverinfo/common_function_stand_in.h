// Small file, path and text utilities the driver package analysis needs
// before the program's shared utility class exists. Each matches the shared
// utility of the same name, so that callers change only the owner when the
// shared class takes them over.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/win32.h"

namespace {

[[maybe_unused]] std::string kToUpper(std::string str) {
  std::transform(str.begin(), str.end(), str.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return str;
}

[[maybe_unused]] bool kIEquals(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::toupper(x) == std::toupper(y);
         });
}

// The parts of a path as the C runtime splits them: drive ("C:"), directory
// with its trailing backslash, base name, extension with its dot.
struct CPathParts {
  std::string strDrive;
  std::string strDir;
  std::string strName;
  std::string strExt;
};

[[maybe_unused]] CPathParts kSplitPath(const std::string& strPath) {
  CPathParts parts;
  std::string rest = strPath;
  if (rest.size() >= 2 && rest[1] == ':') {
    parts.strDrive = rest.substr(0, 2);
    rest = rest.substr(2);
  }
  const size_t slash = rest.find_last_of("\\/");
  if (slash != std::string::npos) {
    parts.strDir = rest.substr(0, slash + 1);
    rest = rest.substr(slash + 1);
  }
  const size_t dot = rest.find_last_of('.');
  if (dot != std::string::npos) {
    parts.strName = rest.substr(0, dot);
    parts.strExt = rest.substr(dot);
  } else {
    parts.strName = rest;
  }
  return parts;
}

// The name a file is stored under in compressed form: the last character of
// its extension replaced by "_" (FILE.DLL becomes FILE.DL_), or "._" added
// when it has no extension.
[[maybe_unused]] std::string kMakeCompressedName(const std::string& strPath) {
  const CPathParts parts = kSplitPath(strPath);
  if (parts.strExt.size() > 1) return strPath.substr(0, strPath.size() - 1) + "_";
  if (parts.strExt.size() == 1) return strPath + "_";  // "name." gets "name._"
  return strPath + "._";
}

// The short form of a path. A path that does not exist is kept as it is
// (success); a path of MAX_PATH or more characters, or another error, fails.
[[maybe_unused]] BOOL kGetShortPathName(const std::string& strLong, std::string& strShort) {
  if (strLong.size() >= MAX_PATH) return FALSE;
  char szShort[MAX_PATH] = {};
  const DWORD dwLength = GetShortPathNameA(strLong.c_str(), szShort, MAX_PATH);
  if (dwLength == 0) {
    const DWORD dwError = GetLastError();
    if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) {
      strShort = strLong;
      return TRUE;
    }
    return FALSE;
  }
  if (dwLength >= MAX_PATH) return FALSE;
  strShort.assign(szShort, dwLength);
  return TRUE;
}

[[maybe_unused]] BOOL kGetSystemDirectory(std::string& strDir) {
  char szDir[MAX_PATH] = {};
  const UINT uLength = GetSystemDirectoryA(szDir, MAX_PATH);
  if (uLength == 0 || uLength >= MAX_PATH) return FALSE;
  strDir.assign(szDir, uLength);
  return TRUE;
}

// Clears the read-only and hidden attributes of an existing read-only file;
// FALSE only when that change fails.
[[maybe_unused]] BOOL kResetReadOnly(const std::string& strFile) {
  const DWORD dwAttributes = GetFileAttributesA(strFile.c_str());
  if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_READONLY)) return TRUE;
  return SetFileAttributesA(strFile.c_str(),
                            dwAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

[[maybe_unused]] BOOL kStdAfxFileIsExisted(const std::string& strPath) {
  WIN32_FIND_DATAA data;
  HANDLE hFind = FindFirstFileA(strPath.c_str(), &data);
  if (hFind == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(hFind);
  return TRUE;
}

// Finds a file in a package folder, directly or in its compressed form.
// (The shared utility also searches sibling disk folders; that step comes
// with it.)
[[maybe_unused]] BOOL kStdAfxSearchFile(const std::string& strSearchPath, const std::string& strFile,
                                        std::string& strFound) {
  if (strSearchPath.empty()) return FALSE;
  std::string strDir = strSearchPath;
  if (strDir.back() != '\\' && !(strDir.size() == 2 && strDir[1] == ':')) strDir += '\\';
  const std::string strDirect = strDir + strFile;
  if (kStdAfxFileIsExisted(strDirect)) {
    strFound = strDirect;
    return TRUE;
  }
  const std::string strCompressed = kMakeCompressedName(strDirect);
  if (kStdAfxFileIsExisted(strCompressed)) {
    strFound = strCompressed;
    return TRUE;
  }
  return FALSE;
}

// The spooler environment of the running system: "Windows x64" on a 64-bit
// processor, "Windows NT x86" otherwise.
[[maybe_unused]] std::string kGetRunningEnvironment() {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? "Windows x64" : "Windows NT x86";
}

// Platform decoration and driver version to spooler environment name; empty
// for an unknown decoration.
[[maybe_unused]] std::string kConvPlatformToEnv(const std::string& strPlatform, DWORD dwVersion) {
  if (kIEquals(strPlatform, "NTx86")) return dwVersion != 0 ? "Windows NT x86" : "Windows 4.0";
  if (kIEquals(strPlatform, "NTamd64")) return "Windows x64";
  return std::string();
}

// Windows 2000 or later (the NT family from version 5).
[[maybe_unused]] bool kIsWin2kOrLater() {
  OSVERSIONINFOA os = {};
  os.dwOSVersionInfoSize = sizeof(os);
  if (!GetVersionExA(&os)) return false;
  return os.dwPlatformId == VER_PLATFORM_WIN32_NT && os.dwMajorVersion >= 5;
}

}  // namespace
