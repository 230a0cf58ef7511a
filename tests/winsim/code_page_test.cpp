// The machine's ANSI code page follows its language, at once, and the host's
// UTF-8 texts (a UI script, a terminal, the transcript) meet the controls'
// ANSI texts through it.
#include <gtest/gtest.h>

#include <string>

#include "fresh_machine.h"
#include "kernel32/nls.h"
#include "machine_settings.h"

namespace {

class CodePageTest : public kvtest::FreshMachine {
 protected:
  static void setLanguage(DWORD lang) {
    winsim::MachineSettings s = winsim::machineSettings();
    s.langId = lang;
    std::string error;
    ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
  }
};

TEST_F(CodePageTest, WesternLanguagesUse1252OthersUtf8) {
  EXPECT_EQ(GetACP(), 1252u) << "the default machine is English";
  EXPECT_EQ(winsim::ansiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(winsim::utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC \xE2\x98\xBA"), "caf\xE9 \x80 ?");
  EXPECT_EQ(winsim::ansiToUtf8("plain"), "plain");
  setLanguage(0x0407);  // German
  EXPECT_EQ(GetACP(), 1252u);
  setLanguage(0x0411);  // Japanese: winsim has no table of 932
  EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
  WCHAR w[4] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC3\xA9", 2, w, 4), 1);
  EXPECT_EQ(w[0], 0x00E9);
  EXPECT_EQ(winsim::ansiToUtf8("\xC3\xA9"), "\xC3\xA9");
  EXPECT_EQ(winsim::utf8ToAnsi("\xC3\xA9"), "\xC3\xA9");
}

// Every byte of an ANSI text survives the trip to UTF-16 and back, so files
// and registry texts written by the A functions keep their bytes.
TEST_F(CodePageTest, EveryByteRoundTripsThrough1252) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const winsim::wstring16 wide = winsim::ansiToUtf16(all);
  ASSERT_EQ(wide.size(), all.size());
  EXPECT_EQ(winsim::utf16ToAnsi(wide), all);
  EXPECT_EQ(winsim::utf8ToAnsi(winsim::ansiToUtf8(all)), all);
}

}  // namespace
