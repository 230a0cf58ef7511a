// The file, path and profile utilities, with Win32 calls only: the same
// expectations hold on the simulated machine and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/scratch_folder.h"
#include "platform/win32.h"
#include "support/conformance.h"
#include "system/common_function.h"

namespace {

using kvtest::ScratchFolder;

bool makeFile(const std::string& path, const std::string& content = "x") {
  return ScratchFolder::writeFile(path, content);
}

std::string currentDirectory() {
  char sz[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(sizeof(sz), sz);
  return sz;
}

// ---- Paths ----------------------------------------------------------------------------

TEST(CommonFunctionPath, EveryElementCodeOfAPath) {
  struct Row {
    const char* pszPath;
    int nCode;
    const char* pszElement;
  };
  const Row rows[] = {
      {"C:\\DIR\\SUB\\FILE.DLL", 0, "C:\\DIR\\SUB"},
      {"C:\\DIR\\SUB\\FILE.DLL", 10, "C:\\DIR\\SUB\\"},
      {"C:\\DIR\\SUB\\FILE.DLL", 1, "FILE.DLL"},
      {"C:\\DIR\\SUB\\FILE.DLL", 2, "C:"},
      {"C:\\DIR\\SUB\\FILE.DLL", 3, "\\DIR\\SUB"},
      {"C:\\DIR\\SUB\\FILE.DLL", 30, "\\DIR\\SUB\\"},
      {"C:\\DIR\\SUB\\FILE.DLL", 4, "FILE"},
      {"C:\\DIR\\SUB\\FILE.DLL", 5, ".DLL"},
      {"C:\\DIR\\SUB\\FILE.DLL", 6, "C:\\DIR\\SUB\\FILE"},
      {"C:\\FILE.DLL", 0, "C:\\"},  // the root keeps its backslash
      {"C:\\FILE.DLL", 3, ""},
      {"FILE.TXT", 0, ""},
      {"FILE.TXT", 10, ""},
      {"C:\\A.B\\NAME", 5, ""},  // a dot in a folder is no extension
      {"C:\\A.B\\NAME", 4, "NAME"},
      {"C:\\DIR\\ARCHIVE.TAR.GZ", 5, ".GZ"},
      {"C:/DIR/FILE.INF", 0, "C:/DIR"},
      {"\\\\SERVER\\SHARE\\FILE.INF", 10, "\\\\SERVER\\SHARE\\"},
      {"\\\\SERVER\\SHARE\\FILE.INF", 2, ""},
      {"C:\\DIR\\FILE.DLL", 7, ""},  // no such code
  };
  for (const Row& row : rows) {
    std::string strElement = "sentinel";
    EXPECT_TRUE(CCommonFunction::kStdAfxGetPathElement(row.pszPath, row.nCode, strElement));
    EXPECT_EQ(strElement, row.pszElement) << row.pszPath << " code " << row.nCode;
  }
}

TEST(CommonFunctionPath, OverlongPartsAreCutTo255Characters) {
  const std::string strName(400, 'n');
  std::string strElement;
  EXPECT_TRUE(CCommonFunction::kStdAfxGetPathElement("C:\\" + strName + ".ext", 4, strElement));
  EXPECT_EQ(strElement.size(), 255u);
}

// What the resolution gave when it changed the process's current directory
// to the root: the reference the current way must equal.
std::string resolveByChangingDirectory(const std::string& strRoot, const std::string& strRelative) {
  const std::string strSaved = currentDirectory();
  if (!strRoot.empty() && !SetCurrentDirectoryA(strRoot.c_str())) return "<no root>";
  char sz[MAX_PATH * 2] = {};
  const DWORD n = GetFullPathNameA(strRelative.c_str(), sizeof(sz), sz, nullptr);
  SetCurrentDirectoryA(strSaved.c_str());
  return n ? std::string(sz) : "<fail>";
}

TEST(CommonFunctionPath, FullPathsResolveAsInTheRootWithoutChangingTheCurrentDirectory) {
  ScratchFolder scratch;
  ASSERT_TRUE(CreateDirectoryA((scratch / "pkg").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((scratch / "pkg\\sub").c_str(), nullptr));
  const std::string strRoot = scratch / "pkg";
  const std::string strCwd = currentDirectory();
  struct Row {
    std::string strRoot;
    std::string strRelative;
  };
  const Row rows[] = {
      {strRoot, "file.ini"},
      {strRoot, "sub\\setup.exe"},
      {strRoot, "..\\other\\x.txt"},
      {strRoot, ".\\sub\\..\\y.txt"},
      {strRoot, "\\top\\z.txt"},
      {strRoot, "C:\\absolute\\w.txt"},
      {strRoot + "\\", "file.ini"},
      {strRoot + "\\sub\\..", "file.ini"},
      {"", "relative.txt"},
      {"", "C:\\abs.txt"},
  };
  for (const Row& row : rows) {
    std::string strFull = "sentinel";
    ASSERT_TRUE(CCommonFunction::kStdAfxGetFullPath(row.strRoot, row.strRelative.c_str(), strFull))
        << row.strRoot << " | " << row.strRelative;
    EXPECT_EQ(strFull, resolveByChangingDirectory(row.strRoot, row.strRelative)) << row.strRoot << " | "
                                                                                  << row.strRelative;
    EXPECT_EQ(currentDirectory(), strCwd);
  }
}

TEST(CommonFunctionPath, FullPathRefusals) {
  ScratchFolder scratch;
  ASSERT_TRUE(makeFile(scratch / "plain.txt"));
  struct Row {
    std::string strRoot;
    const char* pszRelative;
  };
  const Row rows[] = {
      {scratch.path(), "C:name.txt"},      // drive-relative
      {scratch.path(), "C:"},              // a drive alone
      {scratch.path(), "C:/forward.txt"},  // the colon wants a backslash
      {scratch.path(), ""},                // nothing to resolve
      {scratch / "missing", "file.ini"},   // no such root
      {scratch / "plain.txt", "file.ini"}, // a root that is a file
      {scratch.path(), nullptr},
  };
  for (const Row& row : rows) {
    std::string strFull = "sentinel";
    EXPECT_FALSE(CCommonFunction::kStdAfxGetFullPath(row.strRoot, row.pszRelative, strFull))
        << row.strRoot << " | " << (row.pszRelative ? row.pszRelative : "(null)");
    EXPECT_EQ(strFull, "sentinel");
  }
}

TEST(CommonFunctionPath, SystemAndWindowsFolders) {
  char szSystem[MAX_PATH] = {};
  char szWindows[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(szSystem, MAX_PATH), 0u);
  ASSERT_GT(GetWindowsDirectoryA(szWindows, MAX_PATH), 0u);
  std::string strSystem;
  ASSERT_TRUE(CCommonFunction::kStdAfxGetSystemDirectory(strSystem));
  EXPECT_EQ(strSystem, szSystem);

  char szBuffer[MAX_PATH];
  std::fill(std::begin(szBuffer), std::end(szBuffer), '#');
  ASSERT_TRUE(CCommonFunction::kStdAfxGetWindowsDir(szBuffer, sizeof(szBuffer)));
  EXPECT_EQ(lstrcmpiA(szBuffer, szWindows), 0) << szBuffer;
  EXPECT_EQ(szBuffer[MAX_PATH - 1], '\0') << "the rest of the buffer is zero-filled";

  char szSmall[4];
  std::fill(std::begin(szSmall), std::end(szSmall), '#');
  EXPECT_FALSE(CCommonFunction::kStdAfxGetWindowsDir(szSmall, sizeof(szSmall)));
  EXPECT_EQ(std::string(szSmall, sizeof(szSmall)), std::string(4, '\0')) << "nothing past the caller's buffer";
}

TEST(CommonFunctionPath, ShortPathNames) {
  ScratchFolder scratch;
  ASSERT_TRUE(makeFile(scratch / "present.txt"));
  std::string strShort = "sentinel";
  const std::string strMissing = scratch / "missing folder\\missing file.txt";
  EXPECT_TRUE(CCommonFunction::kGetShortPathName(strMissing.c_str(), strShort));
  EXPECT_EQ(strShort, strMissing) << "a path that does not exist stays as it is";
  EXPECT_TRUE(CCommonFunction::kGetShortPathName((scratch / "present.txt").c_str(), strShort));
  EXPECT_EQ(GetFileAttributesA(strShort.c_str()) != INVALID_FILE_ATTRIBUTES, true) << strShort;

  strShort = "sentinel";
  const std::string strLong = "C:\\" + std::string(MAX_PATH, 'a');
  EXPECT_FALSE(CCommonFunction::kGetShortPathName(strLong.c_str(), strShort));
  EXPECT_EQ(strShort, "sentinel");
}

// ---- Search ---------------------------------------------------------------------------

TEST(CommonFunctionSearch, TheNearlyNameWalkOfDisk1) {
  const std::vector<std::string> expected = {
      "DISK?",    "DISK??",  "DISK???", "DISK????", "?ISK1",    "??ISK1",   "???ISK1", "????ISK1", "DIS??",
      "DIS???",   "DIS????", "DIS?????", "??SK1",   "???SK1",   "????SK1",  "?????SK1", "DI???",   "DI????",
      "DI?????",  "DI??????", "???K1",   "????K1",  "?????K1",  "??????K1", "D????",   "D?????",  "D??????",
      "D???????", "????1",   "?????1",  "??????1", "???????1", "?????",    "??????",  "???????", "????????"};
  std::vector<std::string> walk;
  std::string strInput = "DISK1";
  std::string strNext;
  while (walk.size() < 100 && CCommonFunction::kStdAfxGetNearlyDirName("DISK1", strInput, strNext)) {
    walk.push_back(strNext);
    strInput = strNext;
  }
  EXPECT_EQ(walk, expected);
}

TEST(CommonFunctionSearch, NearlyNameWalksOfShortAndOddNames) {
  struct Row {
    const char* pszTruth;
    std::vector<std::string> walk;
  };
  const Row rows[] = {
      {"A", {"?"}},
      {"AB", {"A?", "?B", "??"}},
      {"", {}},
      {"?", {}},  // a name made of the wildcard itself walks nowhere
  };
  for (const Row& row : rows) {
    std::vector<std::string> walk;
    std::string strInput = row.pszTruth;
    std::string strNext;
    while (walk.size() < 100 && CCommonFunction::kStdAfxGetNearlyDirName(row.pszTruth, strInput, strNext)) {
      walk.push_back(strNext);
      strInput = strNext;
    }
    EXPECT_LT(walk.size(), 100u) << row.pszTruth;
    if (std::string(row.pszTruth) != "?") {
      EXPECT_EQ(walk, row.walk) << row.pszTruth;
    }
  }
}

// A package with two disk folders:
//   pkg\DISK1\A.INF  B.DL_  C._  SUB\E.DLL
//   pkg\DISK2\SUB\FILE2.DLL  D.DL_
//   pkg\ELSEWHERE1\F.DLL  (another package: never searched)
//   pkg\DISK1OLD\G.DLL     (a name that differs in more than digits)
class SearchFileTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* dir : {"pkg", "pkg\\DISK1", "pkg\\DISK1\\SUB", "pkg\\DISK2", "pkg\\DISK2\\SUB", "pkg\\ELSEWHERE1",
                            "pkg\\DISK1OLD", "pkg\\disk10"}) {
      ASSERT_TRUE(CreateDirectoryA((m_scratch / dir).c_str(), nullptr)) << dir;
    }
    for (const char* file : {"pkg\\DISK1\\A.INF", "pkg\\DISK1\\B.DL_", "pkg\\DISK1\\C._", "pkg\\DISK1\\SUB\\E.DLL",
                             "pkg\\DISK2\\SUB\\FILE2.DLL", "pkg\\DISK2\\D.DL_", "pkg\\ELSEWHERE1\\F.DLL",
                             "pkg\\DISK1OLD\\G.DLL", "pkg\\disk10\\H.DLL"}) {
      ASSERT_TRUE(makeFile(m_scratch / file)) << file;
    }
  }
  std::string disk1() const { return m_scratch / "pkg\\DISK1\\"; }
  std::string at(const char* name) const { return m_scratch / name; }

  ScratchFolder m_scratch;
};

TEST_F(SearchFileTest, WhereEachFileIsFound) {
  struct Row {
    const char* pszFile;
    int nMode;
    const char* pszFound;  // below the scratch folder, or nullptr for not found
  };
  const Row rows[] = {
      {"A.INF", 1, "pkg\\DISK1\\A.INF"},            // directly
      {"B.DLL", 1, "pkg\\DISK1\\B.DL_"},            // compressed
      {"C", 1, "pkg\\DISK1\\C._"},                  // compressed, no extension
      {"FILE2.DLL", 1, "pkg\\DISK2\\SUB\\FILE2.DLL"}, // a sibling's subfolder
      {"E.DLL", 1, "pkg\\DISK1\\SUB\\E.DLL"},       // the folder's own subfolder
      {"D.DLL", 1, "pkg\\DISK2\\D.DL_"},            // D.DL? matches the compressed name
      {"D.DLL", 0, "pkg\\DISK2\\D.DL_"},            // the compressed sibling name
      {"H.DLL", 1, "pkg\\disk10\\H.DLL"},           // digits of another count, letters of another case
      {"F.DLL", 1, nullptr},                        // an unrelated folder beside the package
      {"G.DLL", 1, nullptr},                        // a name that differs in more than digits
      {"NONE.DLL", 1, nullptr},
  };
  for (const Row& row : rows) {
    std::string strFound = "sentinel";
    const BOOL bFound = CCommonFunction::kStdAfxSearchFile(disk1().c_str(), row.pszFile, strFound, row.nMode);
    if (row.pszFound) {
      EXPECT_TRUE(bFound) << row.pszFile;
      EXPECT_EQ(lstrcmpiA(strFound.c_str(), at(row.pszFound).c_str()), 0) << row.pszFile << ": " << strFound;
    } else {
      EXPECT_FALSE(bFound) << row.pszFile << ": " << strFound;
      EXPECT_EQ(strFound, "sentinel");
    }
  }
}

TEST_F(SearchFileTest, AFolderWithoutItsBackslashStillGetsOne) {
  std::string strFound;
  const std::string strDir = m_scratch / "pkg\\DISK1";
  ASSERT_TRUE(CCommonFunction::kStdAfxSearchFile(strDir.c_str(), "A.INF", strFound, 1));
  EXPECT_EQ(strFound, strDir + "\\A.INF");
  EXPECT_FALSE(CCommonFunction::kStdAfxSearchFile("", "A.INF", strFound, 1));
  EXPECT_FALSE(CCommonFunction::kStdAfxSearchFile(nullptr, "A.INF", strFound, 1));
}

TEST_F(SearchFileTest, DirectoryListsAreDepthFirstAndTakeFoldersToo) {
  std::vector<std::string> lstFiles;
  ASSERT_TRUE(CCommonFunction::kStdAfxDirFileList(m_scratch / "pkg", "*.DL?", lstFiles));
  std::sort(lstFiles.begin(), lstFiles.end());
  std::vector<std::string> expected = {at("pkg\\DISK1\\B.DL_"), at("pkg\\DISK1\\SUB\\E.DLL"),
                                       at("pkg\\DISK2\\D.DL_"), at("pkg\\DISK2\\SUB\\FILE2.DLL"),
                                       at("pkg\\ELSEWHERE1\\F.DLL"), at("pkg\\DISK1OLD\\G.DLL"),
                                       at("pkg\\disk10\\H.DLL")};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lstFiles, expected);

  lstFiles.clear();
  ASSERT_TRUE(CCommonFunction::kStdAfxDirFileList(m_scratch / "pkg\\", "SUB", lstFiles));
  EXPECT_EQ(lstFiles.size(), 2u) << "both SUB folders";
  lstFiles.clear();
  EXPECT_FALSE(CCommonFunction::kStdAfxDirFileList(m_scratch / "missing", "*.*", lstFiles));
  EXPECT_TRUE(lstFiles.empty());
}

// ---- Files -----------------------------------------------------------------------------

TEST(CommonFunctionFile, ReadOnlyFilesAreDeletedAndInUseFilesRecognised) {
  ScratchFolder scratch;
  const std::string strFile = scratch / "locked.dll";
  ASSERT_TRUE(makeFile(strFile));
  ASSERT_TRUE(SetFileAttributesA(strFile.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  KV_WINE_DEPARTS("Wine running as root opens a read-only file for writing") {
    EXPECT_TRUE(CCommonFunction::kStdAfxFileIsUsed(strFile.c_str())) << "a read-only file cannot be written";
  }
  EXPECT_TRUE(CCommonFunction::kResetReadOnly(strFile));
  EXPECT_EQ(GetFileAttributesA(strFile.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_FALSE(CCommonFunction::kStdAfxFileIsUsed(strFile.c_str()));

  HANDLE hHeld = CreateFileA(strFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CCommonFunction::kStdAfxFileIsUsed(strFile.c_str()));
  CloseHandle(hHeld);
  EXPECT_FALSE(CCommonFunction::kStdAfxFileIsUsed((scratch / "missing.dll").c_str()));

  ASSERT_TRUE(SetFileAttributesA(strFile.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(CCommonFunction::kStdAfxFileIsExisted((scratch / "*.dll").c_str()));
  EXPECT_TRUE(CCommonFunction::kStdAfxDeleteFile(strFile.c_str()));
  EXPECT_FALSE(CCommonFunction::kStdAfxFileIsExisted(strFile.c_str()));
  EXPECT_FALSE(CCommonFunction::kStdAfxDeleteFile(strFile.c_str()));
  EXPECT_TRUE(CCommonFunction::kResetReadOnly(strFile)) << "nothing to change on a missing file";
}

TEST(CommonFunctionFile, HexadecimalTexts) {
  const struct {
    const char* pszText;
    BOOL bHex;
  } rows[] = {{"ab09", TRUE}, {"0409", TRUE}, {"FFFF", TRUE}, {"", TRUE},  {"12G4", FALSE},
              {"0x04", FALSE}, {" 409", FALSE}, {"-1", FALSE}, {"\xE9", FALSE}};
  for (const auto& row : rows) EXPECT_EQ(CCommonFunction::kIsHexString(row.pszText), row.bHex) << row.pszText;
  EXPECT_FALSE(CCommonFunction::kIsHexString(nullptr));
}

// ---- Private profiles ----------------------------------------------------------------------

TEST(CommonFunctionProfile, ValuesOfAnyLengthAndMissingKeys) {
  ScratchFolder scratch;
  const std::string strIni = scratch / "setup.ini";
  const std::string strLong(1000, 'v');
  ASSERT_TRUE(makeFile(strIni, "[Main]\r\nShort=abc\r\nEmpty=\r\nLong=" + strLong +
                                   "\r\nCount=42\r\n[Second]\r\nKey=1\r\n"));
  std::string strValue;
  EXPECT_TRUE(CCommonFunction::kStdAfxGetPrivateProfile(strIni.c_str(), "Main", "Short", strValue));
  EXPECT_EQ(strValue, "abc");
  EXPECT_TRUE(CCommonFunction::kStdAfxGetPrivateProfile(strIni.c_str(), "Main", "Long", strValue));
  EXPECT_EQ(strValue, strLong);
  EXPECT_FALSE(CCommonFunction::kStdAfxGetPrivateProfile(strIni.c_str(), "Main", "Empty", strValue));
  EXPECT_FALSE(CCommonFunction::kStdAfxGetPrivateProfile(strIni.c_str(), "Main", "Missing", strValue));

  struct Row {
    const char* pszKey;
    BOOL bResult;
    BOOL bKeyExists;
    const char* pszValue;
  };
  const Row rows[] = {{"Short", TRUE, TRUE, "abc"}, {"Empty", FALSE, TRUE, ""}, {"Missing", FALSE, FALSE, ""}};
  for (const Row& row : rows) {
    strValue = "sentinel";
    BOOL bKeyExists = 7;
    EXPECT_EQ(CCommonFunction::kStdAfxGetPrivateProfile(strIni.c_str(), "Main", row.pszKey, strValue, bKeyExists),
              row.bResult)
        << row.pszKey;
    EXPECT_EQ(bKeyExists, row.bKeyExists) << row.pszKey;
    EXPECT_EQ(strValue, row.pszValue) << row.pszKey;
  }

  UINT uValue = 0;
  EXPECT_TRUE(CCommonFunction::kStdAfxGetPrivateProfileInt(strIni.c_str(), "Main", "Count", 7, &uValue));
  EXPECT_EQ(uValue, 42u);
  EXPECT_TRUE(CCommonFunction::kStdAfxGetPrivateProfileInt(strIni.c_str(), "Main", "Missing", 7, &uValue));
  EXPECT_EQ(uValue, 7u);

  std::vector<std::string> lstKeys = {"kept"};
  EXPECT_TRUE(CCommonFunction::kStdAfxEnumPrivateProfileKeys(strIni.c_str(), "Main", lstKeys));
  EXPECT_EQ(lstKeys, (std::vector<std::string>{"kept", "Short", "Empty", "Long", "Count"}));
  lstKeys.clear();
  EXPECT_TRUE(CCommonFunction::kStdAfxEnumPrivateProfileKeys(strIni.c_str(), "", lstKeys));
  EXPECT_EQ(lstKeys, (std::vector<std::string>{"Main", "Second"}));
  lstKeys.clear();
  EXPECT_FALSE(CCommonFunction::kStdAfxEnumPrivateProfileKeys(strIni.c_str(), "Nothing", lstKeys));
  EXPECT_TRUE(lstKeys.empty());
}

TEST(CommonFunctionProfile, DriverNamesTakeTheFirstFreeNumber) {
  ScratchFolder scratch;
  const std::string strIni = scratch / "names.ini";
  BOOL bOver = 7;
  // A new file starts at 01.
  ASSERT_TRUE(CCommonFunction::kMakePrinterDriverNameFile(strIni.c_str(), "First Driver", &bOver));
  EXPECT_FALSE(bOver);
  char sz[256] = {};
  GetPrivateProfileStringA("Drivers", "DriverName01", "", sz, sizeof(sz), strIni.c_str());
  EXPECT_STREQ(sz, "First Driver");

  // A gap is filled first.
  ASSERT_TRUE(makeFile(strIni, "[Drivers]\r\nDriverName01=A\r\ndrivername03=C\r\n"));
  ASSERT_TRUE(CCommonFunction::kMakePrinterDriverNameFile(strIni.c_str(), "B", &bOver));
  GetPrivateProfileStringA("Drivers", "DriverName02", "", sz, sizeof(sz), strIni.c_str());
  EXPECT_STREQ(sz, "B");
  ASSERT_TRUE(CCommonFunction::kMakePrinterDriverNameFile(strIni.c_str(), "D", &bOver));
  GetPrivateProfileStringA("Drivers", "DriverName04", "", sz, sizeof(sz), strIni.c_str());
  EXPECT_STREQ(sz, "D") << "03 is taken, whatever its case";

  // Beyond 99 the name is written and the flag tells.
  std::string strFull = "[Drivers]\r\n";
  for (int i = 1; i <= 99; ++i) strFull += "DriverName" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "=x\r\n";
  ASSERT_TRUE(makeFile(strIni, strFull));
  ASSERT_TRUE(CCommonFunction::kMakePrinterDriverNameFile(strIni.c_str(), "Hundredth", &bOver));
  EXPECT_TRUE(bOver);
  GetPrivateProfileStringA("Drivers", "DriverName100", "", sz, sizeof(sz), strIni.c_str());
  EXPECT_STREQ(sz, "Hundredth");
}

TEST(CommonFunctionProfile, DriverNamesRefuseWhatWouldBreakTheFile) {
  ScratchFolder scratch;
  const std::string strIni = scratch / "names.ini";
  BOOL bOver = FALSE;
  EXPECT_FALSE(CCommonFunction::kMakePrinterDriverNameFile(nullptr, "X", &bOver));
  EXPECT_FALSE(CCommonFunction::kMakePrinterDriverNameFile(strIni.c_str(), nullptr, &bOver));
  EXPECT_FALSE(CCommonFunction::kMakePrinterDriverNameFile(strIni.c_str(), "X", nullptr));
  EXPECT_FALSE(CCommonFunction::kMakePrinterDriverNameFile(strIni.c_str(), "Two\r\n[Lines]", &bOver));
  EXPECT_FALSE(ScratchFolder::exists(strIni));
  EXPECT_FALSE(CCommonFunction::kMakePrinterDriverNameFile((scratch / "no\\such\\folder.ini").c_str(), "X", &bOver));
}

}  // namespace
