// KV_SETUP: the program's entry point.
#include <string>
#include <vector>

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
  return app.ExitInstance();
}
