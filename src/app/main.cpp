// KV_SETUP: the program's entry point.
#include "platform/win32.h"

int main() {
  // The start-up sequence grows here; until then the program only proves
  // that it starts on this platform.
  SetLastError(0);
  return static_cast<int>(GetLastError());
}
