// KV_SETUP: the program's entry point.
#include <string>
#include <vector>

#include "app/closing_line.h"
#include "app/kv_setup_app.h"

int main(int argc, char** argv) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  std::vector<std::string> lstArguments;
  for (int i = 1; i < argc; ++i) lstArguments.emplace_back(argv[i]);
  app.kSetArguments(std::move(lstArguments));
  // The wizard runs in the frame's messages until the frame is closed; a
  // start-up that fails goes straight to the end.
  if (app.InitInstance()) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  const int nExit = app.ExitInstance();
  // A person who started the program from a console learns how it ended
  // and where to look.
  CClosingLineInfo info;
  info.nExit = nExit;
  info.strRefusedArgument = app.m_strErrorCommandLine;
  if (!app.m_strDetailLogFile.empty() && GetFileAttributesA(app.m_strDetailLogFile.c_str()) != INVALID_FILE_ATTRIBUTES)
    info.strDetailLog = app.m_strDetailLogFile;
  if (!app.m_strLogFile.empty() && GetFileAttributesA(app.m_strLogFile.c_str()) != INVALID_FILE_ATTRIBUTES)
    info.strReport = app.m_strLogFile;
  kWriteToConsole(kClosingLineText(info, "KV_SETUP"));
  return nExit;
}
