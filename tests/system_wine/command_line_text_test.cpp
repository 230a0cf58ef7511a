// Quoting values for a command line and reading a command line back, by the
// rules a started program splits its command line with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system/command_line_text.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLineText, PlainValuesKeepTheirQuotedForm) {
  EXPECT_EQ(kQuoteCommandLineValue("SELECT"), "\"SELECT\"");
  EXPECT_EQ(kQuoteCommandLineValue("C:\\PKG\\NELSETUP.INI"), "\"C:\\PKG\\NELSETUP.INI\"");
  EXPECT_EQ(kQuoteCommandLineValue(""), "\"\"");
}

TEST(CommandLineText, QuotesAndTheBackslashesBeforeThemAreEscaped) {
  EXPECT_EQ(kQuoteCommandLineValue("a\"b"), "\"a\\\"b\"");
  EXPECT_EQ(kQuoteCommandLineValue("a\\\"b"), "\"a\\\\\\\"b\"");
  // Backslashes at the end would escape the closing quote.
  EXPECT_EQ(kQuoteCommandLineValue("C:\\dir\\"), "\"C:\\dir\\\\\"");
  // Backslashes elsewhere stay as they are.
  EXPECT_EQ(kQuoteCommandLineValue("\\\\server\\share"), "\"\\\\server\\share\"");
}

TEST(CommandLineText, EveryValueIsReadBackWhole) {
  const std::string kValues[] = {"DISPLAY\" +X:\"C:\\EVIL\\E.INI",
                                 "Office\" /dl /n \"x",
                                 "C:\\names dir\\",
                                 "\\\\\"",
                                 "\"",
                                 "",
                                 "tab\there",
                                 "a\\\\b\\\\\\\"c\\"};
  for (const std::string& strValue : kValues) {
    const std::string strLine = "\"C:\\N.EXE\" +8:" + kQuoteCommandLineValue(strValue) + " /n " +
                                kQuoteCommandLineValue(strValue) + " +W:1";
    EXPECT_EQ(kSplitCommandLine(strLine), (Args{"C:\\N.EXE", "+8:" + strValue, "/n", strValue, "+W:1"})) << strLine;
  }
}

TEST(CommandLineText, SplittingFollowsTheArgumentRules) {
  EXPECT_EQ(kSplitCommandLine(""), Args{});
  EXPECT_EQ(kSplitCommandLine("  prog  a   b "), (Args{"prog", "a", "b"}));
  // The program's name takes backslashes literally and ends at its quote.
  EXPECT_EQ(kSplitCommandLine("\"C:\\a b\\\" x"), (Args{"C:\\a b\\", "x"}));
  EXPECT_EQ(kSplitCommandLine("p a\\\\\"b c\" d"), (Args{"p", "a\\b c", "d"}));
  EXPECT_EQ(kSplitCommandLine("p a\\\\\\\"b"), (Args{"p", "a\\\"b"}));
  EXPECT_EQ(kSplitCommandLine("p a\\b\\\\ c"), (Args{"p", "a\\b\\\\", "c"}));
  EXPECT_EQ(kSplitCommandLine("p \"\" x"), (Args{"p", "", "x"}));
  // An unclosed quote runs to the end.
  EXPECT_EQ(kSplitCommandLine("p \"a b"), (Args{"p", "a b"}));
}

TEST(CommandLineText, ControlCharactersAreFound) {
  EXPECT_FALSE(kHasControlCharacter("Office Printer"));
  EXPECT_FALSE(kHasControlCharacter("tab\tis a blank"));
  EXPECT_TRUE(kHasControlCharacter("Office\nPrinterName=INJECTED"));
  EXPECT_TRUE(kHasControlCharacter("a\rb"));
  EXPECT_TRUE(kHasControlCharacter(std::string("a\x01", 2)));
  // Bytes of the ANSI code page above 0x7F are text.
  EXPECT_FALSE(kHasControlCharacter("Dr\xFC" "cker"));
}

}  // namespace
