// KV_SETUP: the program's entry point.
#include <string>
#include <vector>

#include "app/kv_setup_app.h"

int main(int argc, char** argv) {
  CKV_SETUPApp& app = SETUP_GLOBAL;
  std::vector<std::string> lstArguments;
  for (int i = 1; i < argc; ++i) lstArguments.emplace_back(argv[i]);
  app.kSetArguments(std::move(lstArguments));
  // The wizard's message loop runs here once its frame exists; a start-up
  // that fails goes straight to the end.
  (void)app.InitInstance();
  return app.ExitInstance();
}
