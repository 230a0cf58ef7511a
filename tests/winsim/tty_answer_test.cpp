// What a person types at the terminal's message box.
#include <gtest/gtest.h>

#include <windows.h>

#include "user32/ui.h"

namespace {

using winsim::ui::ttyBoxAnswer;

TEST(TtyBoxAnswer, TakesLettersWordsAndNumbersInAnyCase) {
  const std::vector<int> yesNo = {IDYES, IDNO};
  for (const char* typed : {"y", "Y", "yes", "YES", " Yes ", "1"}) EXPECT_EQ(ttyBoxAnswer(typed, yesNo, IDNO), IDYES) << typed;
  for (const char* typed : {"n", "N", "no", "No", "2"}) EXPECT_EQ(ttyBoxAnswer(typed, yesNo, IDYES), IDNO) << typed;
  EXPECT_EQ(ttyBoxAnswer("", yesNo, IDNO), IDNO);  // the default button
  const std::vector<int> okCancel = {IDOK, IDCANCEL};
  for (const char* typed : {"o", "O", "ok", "OK"}) EXPECT_EQ(ttyBoxAnswer(typed, okCancel, IDOK), IDOK) << typed;
  for (const char* typed : {"c", "C", "cancel", "Cancel"})
    EXPECT_EQ(ttyBoxAnswer(typed, okCancel, IDOK), IDCANCEL) << typed;
}

TEST(TtyBoxAnswer, RefusesWhatNamesNoButtonOfTheBox) {
  const std::vector<int> okOnly = {IDOK};
  EXPECT_EQ(ttyBoxAnswer("y", okOnly, IDOK), 0);
  EXPECT_EQ(ttyBoxAnswer("2", okOnly, IDOK), 0);
  EXPECT_EQ(ttyBoxAnswer("maybe", okOnly, IDOK), 0);
  EXPECT_EQ(ttyBoxAnswer("0", okOnly, IDOK), 0);
}

}  // namespace
