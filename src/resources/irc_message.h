// One entry of the message catalogue: the message ID and its text, both in
// the ANSI code page. The text still holds its escapes (backslash-n and the
// like); they are replaced when the message is looked up.
#pragma once

#include <string>

class CIRCMessage {
 public:
  std::string strMessageID;
  std::string strMessage;
};
