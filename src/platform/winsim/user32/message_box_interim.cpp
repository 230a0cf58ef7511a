// winsim: interim message boxes and string resources.
//
// The dialog manager brings the real MessageBoxA (shown by the UI renderer)
// and LoadStringA (read from the resource script). Until it is linked in,
// these weak definitions keep programs linkable: a message box is written to
// stderr and answered with its default button; no string resource exists.
// The strong definitions of the dialog manager replace them at link time.
#include <cstdio>

#include <windows.h>

namespace {

// The button a box answers with when nobody can press one: the default
// button of its button set.
int defaultButton(UINT uType) {
  const UINT uButtons = uType & 0x0F;
  const UINT uDefault = (uType & 0x0F00) >> 8;
  static const int kButtons[][3] = {
      {IDOK, IDOK, IDOK},           {IDOK, IDCANCEL, IDCANCEL},    {IDABORT, IDRETRY, IDIGNORE},
      {IDYES, IDNO, IDCANCEL},      {IDYES, IDNO, IDNO},           {IDRETRY, IDCANCEL, IDCANCEL}};
  if (uButtons > 5) return IDOK;
  return kButtons[uButtons][uDefault > 2 ? 0 : uDefault];
}

}  // namespace

// MessageBoxA: the default button; 0 never.
extern "C" __attribute__((weak)) int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  std::fprintf(stderr, "[message box] %s | %s | style 0x%x\n", lpCaption ? lpCaption : "Error", lpText ? lpText : "",
               uType);
  SetLastError(0);
  return defaultButton(uType);
}

// LoadStringA: 0 and ERROR_RESOURCE_NAME_NOT_FOUND, as for a program without
// a string table.
extern "C" __attribute__((weak)) int WINAPI LoadStringA(HINSTANCE, UINT, LPSTR lpBuffer, int cchBufferMax) {
  if (lpBuffer && cchBufferMax > 0) lpBuffer[0] = '\0';
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return 0;
}
