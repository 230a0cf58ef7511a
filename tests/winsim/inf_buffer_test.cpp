// An INF opened from its bytes reads exactly as the same INF opened from a
// file: the fuzzing of the parser goes through the first, the program
// through the second.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include <windows.h>
#include <setupapi.h>

#include "fresh_machine.h"
#include "kv_source_dir.h"
#include "setupapi/inf_handles.h"

namespace {

using namespace winsim::setupapi;

// Every line of every section: key, fields, line text and the line found
// again by its key, one text per line.
std::string dump(HINF inf) {
  const InfFile& file = *lookupInf(inf)->files.front();
  std::string out;
  char buffer[MAX_INF_STRING_LENGTH];
  for (const auto& section : file.sections()) {
    out += "[" + section.name + "]\n";
    INFCONTEXT context;
    for (BOOL more = SetupFindFirstLineA(inf, section.name.c_str(), nullptr, &context); more;
         more = SetupFindNextLine(&context, &context)) {
      const DWORD count = SetupGetFieldCount(&context);
      for (DWORD i = 0; i <= count; ++i) {
        out += SetupGetStringFieldA(&context, i, buffer, sizeof buffer, nullptr) ? buffer : "<none>";
        out += i == 0 ? "=" : "|";
      }
      if (SetupGetStringFieldA(&context, 0, buffer, sizeof buffer, nullptr)) {
        INFCONTEXT byKey;
        out += SetupFindFirstLineA(inf, section.name.c_str(), buffer, &byKey) ? std::to_string(byKey.Line) : "-";
      }
      out += "\n";
    }
  }
  return out;
}

class InfBuffer : public kvtest::FreshMachine {
 protected:
  void same(const std::string& bytes) {
    put("C:\\pkg\\same.inf", bytes);
    UINT fileLine = 0;
    UINT bufferLine = 0;
    HINF fromFile = SetupOpenInfFileA("C:\\pkg\\same.inf", nullptr, INF_STYLE_WIN4, &fileLine);
    const DWORD fileError = fromFile == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    HINF fromBuffer = openInfBuffer(bytes, "C:\\pkg\\same.inf", INF_STYLE_WIN4, machineDirs(), optionsForMachine(),
                                    machineLanguage(), &bufferLine);
    const DWORD bufferError = fromBuffer == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    EXPECT_EQ(fileError, bufferError);
    EXPECT_EQ(fileLine, bufferLine);
    ASSERT_EQ(fromFile == INVALID_HANDLE_VALUE, fromBuffer == INVALID_HANDLE_VALUE);
    if (fromFile == INVALID_HANDLE_VALUE) return;
    EXPECT_EQ(dump(fromFile), dump(fromBuffer));
    SetupCloseInfFile(fromFile);
    SetupCloseInfFile(fromBuffer);
  }
};

std::string readData(const std::string& relative) {
  std::ifstream in(std::string(KV_SOURCE_DIR) + "/tests/data/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(InfBuffer, PublicInfsReadTheSameBothWays) {
  for (const char* name : {"inf/xdsmpl.inf", "inf/xdsmpl-utf16.inf", "inf/winxp.inf", "inf/psa-extension.inf"}) {
    SCOPED_TRACE(name);
    const std::string bytes = readData(name);
    ASSERT_FALSE(bytes.empty());
    same(bytes);
  }
}

TEST_F(InfBuffer, EndsOfTheBufferAndErrorsReadTheSameBothWays) {
  const std::string header = "[Version]\r\nSignature=\"$Windows NT$\"\r\n[Strings]\r\nS=\"v\"\r\n[Test]\r\n";
  std::string many;
  for (int i = 0; i < 40; ++i) many += "%S%k" + std::to_string(i % 7) + "=a" + std::to_string(i) + ",\"q\"\"\"\r\n";
  for (const std::string& tail : {std::string("k=v \\"), std::string("k=\"a\"\""), std::string("k=\"open"),
                                  std::string("k=ab\""), std::string("k=a\\\r\n"), std::string("k=a;c \\"),
                                  std::string("[Bad"), std::string("k=a\x1a[Bad"), std::string("k=a\0b", 5), many}) {
    SCOPED_TRACE(tail);
    same(header + tail);
  }
  same("garbage\r\n" + header);
}

// The harness's way in: bytes held for a path are the file at that path for
// every read of the Setup API, whatever the disk holds, until they are let go.
TEST_F(InfBuffer, BytesHeldForAPathAreThatFileUntilLetGo) {
  const auto lineText = [](const char* path) {
    HINF inf = SetupOpenInfFileA(path, "Printer", INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) return "error " + std::to_string(GetLastError());
    char text[64] = {};
    const BOOL found = SetupGetLineTextA(nullptr, inf, "Models", "Model", text, sizeof text, nullptr);
    SetupCloseInfFile(inf);
    return found ? std::string(text) : std::string("<none>");
  };
  const auto inf = [](const char* model) {
    return std::string("[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n[Models]\nModel=") + model + "\n";
  };
  put("C:\\pkg\\disk.inf", inf("on disk"));
  setMemoryInf("C:\\pkg\\disk.inf", inf("held"));
  setMemoryInf("C:\\pkg\\only.inf", inf("first"));
  // By name (in any case, with either slash) and by handle, no file needed.
  EXPECT_EQ(lineText("c:/PKG/Only.INF"), "first");
  DWORD size = 0;
  EXPECT_TRUE(SetupGetInfInformationA("C:\\pkg\\only.inf", INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0, &size));
  EXPECT_GT(size, 0u);
  EXPECT_EQ(lineText("C:\\pkg\\disk.inf"), "held") << "the held bytes win over the disk";
  // New bytes for a path are read, never the parse kept of the old ones.
  setMemoryInf("C:\\pkg\\only.inf", inf("second"));
  EXPECT_EQ(lineText("C:\\pkg\\only.inf"), "second");
  setMemoryInf("C:\\pkg\\only.inf", "[Version]\nSignature=\"$Windows NT$\"\n[Bad");
  EXPECT_EQ(lineText("C:\\pkg\\only.inf"), "error " + std::to_string(ERROR_BAD_SECTION_NAME_LINE));
  clearMemoryInfs();
  EXPECT_EQ(lineText("C:\\pkg\\disk.inf"), "on disk");
  EXPECT_EQ(lineText("C:\\pkg\\only.inf"), "error " + std::to_string(ERROR_FILE_NOT_FOUND));
}

}  // namespace
