// winsim: the window procedures of the common controls, for the dialog
// manager that registers their classes.
#pragma once

#include <string>

#include <windows.h>

namespace winsim::comctl {

LRESULT CALLBACK listViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK progressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK animateProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A person's click on line `index` of a list view: the line becomes the
// selected and focused one (LVN_ITEMCHANGED for each change), then NM_CLICK.
bool listViewUserSelect(HWND hwnd, int index, std::string* why);

}  // namespace winsim::comctl
