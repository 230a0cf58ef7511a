// Message lookup by ID and message boxes with the program's caption.
#pragma once

#include <string>

#include "resources/rsc_base.h"

class CRscMsg : public CRscPart {
 public:
  using CRscPart::CRscPart;

  // The text of a message with its escapes replaced, or "" when the loaded
  // catalogue has no such ID; then the error text names the ID, and with
  // nShowIfMissing 1 that error text is also shown in a message box.
  std::string kGetMessge(const std::string& strMessageID, int nShowIfMissing);

  // Shows a message box owned by the registered window, with the default
  // caption when strCaption is empty. Returns the button pressed, or 0 when
  // the box could not be shown (the error text then says why).
  int kMessgeBox(const std::string& strText, const std::string& strCaption, UINT uStyle);

  // Replaces the two-character sequences backslash-n, backslash-t and
  // backslash-r by a line feed, a tab and a carriage return, in that order.
  static std::string kReplaceEscape(const std::string& strText);

  // The text of an error box: the message, then each non-empty detail on a
  // line of its own.
  static std::string kAppendDetail(const std::string& strText, const std::string& strDetail1,
                                   const std::string& strDetail2);
};
