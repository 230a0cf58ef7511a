// Command-line quoting and splitting (see command_line_text.h).
#include "system/command_line_text.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string kQuoteCommandLineValue(const std::string& strValue) {
  std::string strOut = "\"";
  size_t nBackslashes = 0;
  for (const char c : strValue) {
    if (c == '\0') break;
    if (c == '\\') {
      ++nBackslashes;
      strOut += c;
      continue;
    }
    if (c == '"') {
      // The backslashes before it are doubled, and one more escapes it.
      strOut.append(nBackslashes + 1, '\\');
    }
    nBackslashes = 0;
    strOut += c;
  }
  // Backslashes before the closing quote are doubled, or they would escape it.
  strOut.append(nBackslashes, '\\');
  strOut += '"';
  return strOut;
}

std::vector<std::string> kSplitCommandLine(const std::string& strLine) {
  std::vector<std::string> lstOut;
  const size_t n = strLine.size();
  size_t i = 0;
  while (i < n && isBlank(strLine[i])) ++i;
  if (i >= n) return lstOut;
  std::string strFirst;
  if (strLine[i] == '"') {
    ++i;
    while (i < n && strLine[i] != '"') strFirst += strLine[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !isBlank(strLine[i])) strFirst += strLine[i++];
  }
  lstOut.push_back(strFirst);
  while (i < n && isBlank(strLine[i])) ++i;
  std::string strArg;
  bool bInArg = false;
  bool bQuoted = false;
  while (i < n) {
    const char c = strLine[i];
    if (isBlank(c) && !bQuoted) {
      if (bInArg) lstOut.push_back(strArg);
      strArg.clear();
      bInArg = false;
      ++i;
      continue;
    }
    bInArg = true;
    if (c == '\\') {
      size_t nBackslashes = 0;
      while (i < n && strLine[i] == '\\') {
        ++nBackslashes;
        ++i;
      }
      if (i < n && strLine[i] == '"') {
        strArg.append(nBackslashes / 2, '\\');
        if (nBackslashes % 2 == 1) {
          strArg += '"';
          ++i;
        }
        // An even count leaves the quote to open or close below.
      } else {
        strArg.append(nBackslashes, '\\');
      }
      continue;
    }
    if (c == '"') {
      // Inside quotes, a doubled quote is one literal quote.
      if (bQuoted && i + 1 < n && strLine[i + 1] == '"') {
        strArg += '"';
        i += 2;
        continue;
      }
      bQuoted = !bQuoted;
      ++i;
      continue;
    }
    strArg += c;
    ++i;
  }
  if (bInArg) lstOut.push_back(strArg);
  return lstOut;
}

bool kHasControlCharacter(const std::string& strValue) {
  for (const char c : strValue) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return true;
  }
  return false;
}
