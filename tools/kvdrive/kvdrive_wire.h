// What kvdrive_hook.dll tells kvdrive, through WM_COPYDATA.
#pragma once

#include <cstdint>

namespace kvdrive {

// The static control that holds a message box's text.
inline constexpr int kBoxTextId = 0xFFFF;
// COPYDATASTRUCT::dwData of a BoxNote.
inline constexpr unsigned long kBoxNoteTag = 0x4B564842;  // "KVHB"

struct BoxNote {
  std::uint64_t hwnd;   // the box's window
  std::uint32_t style;  // the MB_ style it was asked for
  std::uint32_t reserved;
};

}  // namespace kvdrive
