// A Setup API binding and an INF reader for the reader's tests, with
// helpers that write INF text into a scratch folder in the encodings real
// packages use.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driverinfo/inf_file.h"
#include "driverinfo/setup_api.h"
#include "support/scratch.h"
#include "system/environment.h"

namespace kvtest {

enum class InfEncoding { AnsiCrLf, AnsiLf, Utf16Bom };

// The text with LF line ends turned into what the encoding asks for.
inline std::string encodeInf(const std::string& text, InfEncoding encoding) {
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  switch (encoding) {
    case InfEncoding::AnsiLf:
      return text;
    case InfEncoding::AnsiCrLf:
      return crlf;
    case InfEncoding::Utf16Bom: {
      std::string out("\xFF\xFE", 2);
      for (char c : crlf) {
        out += c;
        out += '\0';
      }
      return out;
    }
  }
  return text;
}

class InfFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The analysis reads what the start-up classification found.
    (void)CEnvironment::kGetOsVersionCheck();
    BOOL bBound = FALSE;
    m_api = std::make_unique<CSetupApi>("C:\\NoSuchFolder", &bBound);
    ASSERT_TRUE(bBound);
    m_inf = std::make_unique<CInfFile>(m_api.get());
    m_dir = scratchDir("inf");
  }

  // Writes the INF and opens it with the reader.
  std::string open(const std::string& text, InfEncoding encoding = InfEncoding::AnsiCrLf,
                   const std::string& name = "test.inf") {
    const std::string path = writeFile(m_dir, name, encodeInf(text, encoding));
    EXPECT_TRUE(m_inf->kOpen(path)) << text;
    return path;
  }

  std::unique_ptr<CSetupApi> m_api;
  std::unique_ptr<CInfFile> m_inf;
  std::string m_dir;
};

// The head every printer INF of these tests starts with.
inline const char* kPrinterHeader =
    "[Version]\n"
    "Signature=\"$Windows NT$\"\n"
    "Class=Printer\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\n"
    "Provider=%Maker%\n"
    "CatalogFile=kvdrv.cat\n";

}  // namespace kvtest
