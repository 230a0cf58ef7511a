// What kvdrive_hook.dll tells kvdrive, through WM_COPYDATA.
#pragma once

#include <cstdint>

namespace kvdrive {

// The static control that holds a message box's text.
inline constexpr int kBoxTextId = 0xFFFF;
// COPYDATASTRUCT::dwData of a BoxNote.
inline constexpr unsigned long kBoxNoteTag = 0x4B564842;  // "KVHB"
// COPYDATASTRUCT::dwData of an EndNote.
inline constexpr unsigned long kEndNoteTag = 0x4B564845;  // "KVHE"

struct BoxNote {
  std::uint64_t hwnd;   // the box's window
  std::uint32_t style;  // the MB_ style it was asked for
  std::uint32_t reserved;
};

// The program ends one of its dialogs (its EndDialog call, before the
// dialog goes): kvdrive reads the dialog as it is left while the program
// waits for the answer.
struct EndNote {
  std::uint64_t hwnd;   // the dialog
  std::int64_t result;  // what DialogBox will return
};

}  // namespace kvdrive
