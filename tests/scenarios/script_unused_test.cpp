// A UI script cannot pass unused: statements that the run never reached end
// it with exit status 3, naming the first one left.
#include <string>

#include "scenarios/scenario.h"

namespace {

using scenario::Outcome;

class ScriptUnused : public scenario::ScenarioTest {};

TEST_F(ScriptUnused, PageNeverShownFailsTheRun) {
  // +S ends the program before any window exists.
  const Outcome r = run({"+S"}, "# the program never gets this far\npage 145: ok\nwait 2\n");
  EXPECT_EQ(r.nExit, 3) << r.describe();
  EXPECT_NE(r.strErr.find("page 145 expected, the program ended"), std::string::npos) << r.describe();
  EXPECT_NE(r.strErr.find("ui.txt:2"), std::string::npos) << r.describe();
  EXPECT_NE(r.strTranscript.find("!! page 145 expected, the program ended"), std::string::npos) << r.describe();
}

TEST_F(ScriptUnused, BoxLeftAfterTheOnesShownFailsTheRun) {
  kvsim({"service", "set", "Spooler", "stopped"});
  const Outcome r = run({}, "msgbox IDS_ERR_STOPSPOOLER: ok\nmsgbox IDS_MSG_DEFUALT_PRINTER: yes\n");
  EXPECT_EQ(r.nExit, 3) << r.describe();
  EXPECT_NE(r.strErr.find("msgbox IDS_MSG_DEFUALT_PRINTER expected, the program ended"), std::string::npos)
      << r.describe();
}

TEST_F(ScriptUnused, TrailingWaitsAndAnEmptyScriptPass) {
  Outcome r = run({"+S"}, "wait 1\n");
  EXPECT_EQ(r.nExit, 6) << r.describe();
  r = run({"+S"}, "");
  EXPECT_EQ(r.nExit, 6) << r.describe();
}

}  // namespace
