// File, path and private-profile utilities shared by every subsystem:
// locating a driver file in a package (also stored compressed, or in a
// neighbouring disk folder), splitting and resolving paths, reading INI
// values of any length, deleting read-only files, telling whether a file is
// in use, numbering driver names into a names file, and the two checks of
// the reboot decision: a driver file loaded by a program other than the
// spooler, and a driver upgrade the spooler holds pending.
//
// The class holds no state: every operation is a plain function of its
// arguments (and static), safe to call from the user-interface thread and
// the installation thread at the same time. Each writes its numbered line
// to the program's detail log on every exit path.
#pragma once

#include <string>
#include <vector>

#include "driverinfo/candidate_driver.h"
#include "platform/win32.h"
#include "system/spooler_infomation.h"

// The path elements of kStdAfxGetPathElement.
enum : int {
  PATH_ELEMENT_DRIVE_DIR = 0,         // drive and directory, no trailing backslash ("\" alone stays)
  PATH_ELEMENT_FILE_NAME = 1,         // file name with extension
  PATH_ELEMENT_DRIVE = 2,             // drive
  PATH_ELEMENT_DIR = 3,               // directory without drive, no trailing backslash
  PATH_ELEMENT_BASE_NAME = 4,         // file name without extension
  PATH_ELEMENT_EXTENSION = 5,         // extension with its dot
  PATH_ELEMENT_WITHOUT_EXTENSION = 6, // drive, directory and file name without extension
  PATH_ELEMENT_DRIVE_DIR_SLASH = 10,  // drive and directory with the trailing backslash
  PATH_ELEMENT_DIR_SLASH = 30,        // directory without drive, with the trailing backslash
};

class CCommonFunction {
 public:
  // ---- Paths -----------------------------------------------------------
  // One element of a path split into drive (at most 2 characters),
  // directory, file name and extension (at most 255 characters each). Never
  // fails; an unknown code gives the empty string.
  static BOOL kStdAfxGetPathElement(const std::string& strPath, int nCode, std::string& strElement);
  // The name a file is stored under in compressed form: the last character
  // of its extension replaced by "_" (FILE.DLL becomes FILE.DL_), or "._"
  // added when it has no extension (FILE becomes FILE._). Never fails.
  static std::string kMakeCompressedName(const std::string& strPath);
  // The full path of pszRelativePath resolved against strRoot (against the
  // current directory when strRoot is empty). The process's current
  // directory is never changed, so this is safe beside other threads.
  // FALSE (strFullPath unchanged) for a drive-relative path ("C:name"), a
  // root that is not an existing directory, or a path that cannot be
  // resolved.
  [[nodiscard]] static BOOL kStdAfxGetFullPath(const std::string& strRoot, LPCSTR pszRelativePath,
                                               std::string& strFullPath);
  [[nodiscard]] static BOOL kStdAfxGetSystemDirectory(std::string& strSystemDir);
  // The Windows folder (the system directory without its last component)
  // into the caller's buffer, which is zero-filled first. FALSE when it
  // does not fit in 260 characters or in uSize.
  [[nodiscard]] static BOOL kStdAfxGetWindowsDir(LPSTR lpBuffer, UINT uSize);
  // The short form of a path. A path that does not exist is kept as it is
  // (TRUE); a path of 260 characters or more and any other error give FALSE.
  [[nodiscard]] static BOOL kGetShortPathName(LPCSTR pszFileName, std::string& strShortPath);

  // ---- Private profiles --------------------------------------------------
  // A value of any length; FALSE when it is empty or missing.
  [[nodiscard]] static BOOL kStdAfxGetPrivateProfile(LPCSTR pszIniFile, LPCSTR pszSection, LPCSTR pszKey,
                                                     std::string& strValue);
  // The same, telling a missing key (bKeyExists FALSE, strValue empty) from
  // an empty value (bKeyExists TRUE); both return FALSE.
  [[nodiscard]] static BOOL kStdAfxGetPrivateProfile(LPCSTR pszIniFile, LPCSTR pszSection, LPCSTR pszKey,
                                                     std::string& strValue, BOOL& bKeyExists);
  // GetPrivateProfileIntA; always TRUE.
  static BOOL kStdAfxGetPrivateProfileInt(LPCSTR pszIniFile, LPCSTR pszSection, LPCSTR pszKey, INT nDefault,
                                          UINT* pUint);
  // Appends the key names of a section (every section name when pszSection
  // is empty or null); FALSE when there are none.
  [[nodiscard]] static BOOL kStdAfxEnumPrivateProfileKeys(LPCSTR pszIniFileName, LPCSTR pszSection,
                                                          std::vector<std::string>& lstKeys);

  // ---- Files -------------------------------------------------------------
  // Clears the read-only and hidden attributes of an existing read-only
  // file; FALSE only when that change fails.
  [[nodiscard]] static BOOL kResetReadOnly(const std::string& strFileName);
  // kResetReadOnly, then DeleteFileA; the result is DeleteFileA's.
  [[nodiscard]] static BOOL kStdAfxDeleteFile(LPCSTR pstrFilePath);
  // Whether FindFirstFileA finds something (wildcards allowed).
  static BOOL kStdAfxFileIsExisted(LPCSTR pstrFilePath);
  // Whether another program holds the file: opening it for writing without
  // sharing fails with a sharing violation or access denied.
  static BOOL kStdAfxFileIsUsed(LPCSTR pstrFilePath);
  // Every character of the text is a hexadecimal digit (the empty text is).
  static BOOL kIsHexString(LPCSTR pszTarget);
  // Appends dir + name of every match of the pattern in strDir and, depth
  // first, in all its subdirectories. FALSE when a search fails other than
  // by finding nothing (what was found until then stays in the list).
  static BOOL kStdAfxDirFileList(const std::string& strDir, const std::string& strPattern,
                                 std::vector<std::string>& lstFiles);
  // Finds a file of a package folder: directly, in its compressed form
  // (FILE.DL_, FILE._), or in a sibling folder of a similar name and its
  // subdirectories (DISK2\SUB beside DISK1). nMode is how many of the last
  // characters of the name may differ (at most 3; every caller passes 1).
  [[nodiscard]] static BOOL kStdAfxSearchFile(LPCSTR pszSearchPath, LPCSTR pszSearchFile, std::string& strFoundPath,
                                              int nMode);
  // The next folder-name pattern after pszInputDir in the walk of "?"
  // windows across pszTruthDir (pszInputDir is pszTruthDir for the first).
  // FALSE when the walk is over.
  [[nodiscard]] static BOOL kStdAfxGetNearlyDirName(const std::string& strTruthDir, const std::string& strInputDir,
                                                    std::string& strResult);
  // Records a driver name in the names file under the first free key
  // DriverName01, DriverName02, ... of section [Drivers]. The flag is set
  // when the number needed is above 99 (the name is still written).
  [[nodiscard]] static BOOL kMakePrinterDriverNameFile(LPCSTR pszDriversNameIniFile, LPCSTR pszDriverName,
                                                       BOOL* lpbOverDriversNameKey);

  // ---- The reboot decision ---------------------------------------------------
  // Whether a file of the candidate is loaded by a process other than the
  // spooler (whose modules the spooler's own restart releases): a module in
  // the printer-driver directory whose file name is one of the candidate's
  // files, or whose full path is its driver path, configuration, data or help
  // file. FALSE before Windows 2000, when the process-status functions are
  // missing or the processes cannot be listed, and when nothing matches.
  [[nodiscard]] static BOOL kIsFileUsingExceptSpooler(const CCandidateDriver* pCDE);
  // Whether the spooler holds a pending upgrade (a subkey of PendingUpgrades
  // for the candidate's driver version 2 or 3) of a present driver that is
  // the candidate's: of its name (without regard to case), or whose driver
  // file has the candidate's driver file name (with regard to case).
  [[nodiscard]] static BOOL kIsExistPendingUpgradesDriver(const CCandidateDriver* pCDE,
                                                          const CPresentDriverList& lstPresentDriver);
};
