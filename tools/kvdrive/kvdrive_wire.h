// What kvdrive_hook.dll tells kvdrive, through WM_COPYDATA.
#pragma once

#include <cstdint>

namespace kvdrive {

// The static control that holds a message box's text.
inline constexpr int kBoxTextId = 0xFFFF;
// COPYDATASTRUCT::dwData of a BoxNote.
inline constexpr unsigned long kBoxNoteTag = 0x4B564842;  // "KVHB"
// COPYDATASTRUCT::dwData of an OpenNote.
inline constexpr unsigned long kOpenNoteTag = 0x4B56484F;  // "KVHO"
// COPYDATASTRUCT::dwData of an EndNote.
inline constexpr unsigned long kEndNoteTag = 0x4B564845;  // "KVHE"

struct BoxNote {
  std::uint64_t hwnd;   // the box's window
  std::uint32_t style;  // the MB_ style it was asked for
  std::uint32_t reserved;
};

// A dialog of the program has set itself up (WM_INITDIALOG has returned,
// the dialog is not shown yet): kvdrive reads it as it opens while the
// program waits, before its timers and threads move anything.
struct OpenNote {
  std::uint64_t hwnd;
};

// The program ends one of its dialogs (its EndDialog call, before the
// dialog goes): kvdrive reads the dialog as it is left while the program
// waits for the answer.
struct EndNote {
  std::uint64_t hwnd;   // the dialog
  std::int64_t result;  // what DialogBox will return
};

}  // namespace kvdrive
