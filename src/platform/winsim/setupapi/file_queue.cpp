// winsim: the file queue, the disk prompt and section installation. The
// program binds these but copies its files itself; they behave soundly for
// any caller all the same.
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include <windows.h>
#include <setupapi.h>

#include "machine.h"

namespace {

struct CopyOp {
  std::string source;
  std::string target;
  DWORD style = 0;
};

struct FileQueue {
  std::vector<CopyOp> copies;
};

struct DefaultCallbackContext {
  HWND owner = nullptr;
};

std::mutex g_mutex;
std::unordered_set<FileQueue*>& openQueues() {
  static std::unordered_set<FileQueue*> queues;
  return queues;
}

FileQueue* lookupQueue(HSPFILEQ queue) {
  std::lock_guard<std::mutex> guard(g_mutex);
  auto* q = static_cast<FileQueue*>(queue);
  return openQueues().count(q) ? q : nullptr;
}

std::string joinWin(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return (a.back() == '\\' || a.back() == '/') ? a + b : a + "\\" + b;
}

UINT notify(PSP_FILE_CALLBACK_A handler, PVOID context, UINT notification, const CopyOp& op, UINT error) {
  if (!handler) return notification == SPFILENOTIFY_COPYERROR ? FILEOP_ABORT : FILEOP_DOIT;
  FILEPATHS_A paths{op.target.c_str(), op.source.c_str(), error, 0};
  return handler(context, notification, reinterpret_cast<UINT_PTR>(&paths), 0);
}

}  // namespace

// SetupOpenFileQueue: a new, empty copy queue; INVALID_HANDLE_VALUE never
// (memory permitting).
extern "C" HSPFILEQ WINAPI SetupOpenFileQueue(VOID) {
  auto queue = std::make_unique<FileQueue>();
  std::lock_guard<std::mutex> guard(g_mutex);
  FileQueue* raw = queue.release();
  openQueues().insert(raw);
  return raw;
}

// SetupCloseFileQueue: frees a queue. FALSE with ERROR_INVALID_HANDLE.
extern "C" BOOL WINAPI SetupCloseFileQueue(HSPFILEQ QueueHandle) {
  std::unique_ptr<FileQueue> owned;
  std::lock_guard<std::mutex> guard(g_mutex);
  auto* q = static_cast<FileQueue*>(QueueHandle);
  if (!openQueues().erase(q)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  owned.reset(q);
  return TRUE;
}

// SetupQueueCopyA: adds a copy of SourceRootPath\SourcePath\SourceFilename
// to TargetDirectory\TargetFilename (the source name when NULL). FALSE with
// ERROR_INVALID_HANDLE or ERROR_INVALID_PARAMETER.
extern "C" BOOL WINAPI SetupQueueCopyA(HSPFILEQ QueueHandle, PCSTR SourceRootPath, PCSTR SourcePath,
                                       PCSTR SourceFilename, PCSTR SourceDescription, PCSTR SourceTagfile,
                                       PCSTR TargetDirectory, PCSTR TargetFilename, DWORD CopyStyle) {
  (void)SourceDescription;
  (void)SourceTagfile;
  FileQueue* queue = lookupQueue(QueueHandle);
  if (!queue) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!SourceFilename || !TargetDirectory) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  CopyOp op;
  op.source = joinWin(joinWin(SourceRootPath ? SourceRootPath : "", SourcePath ? SourcePath : ""), SourceFilename);
  op.target = joinWin(TargetDirectory, TargetFilename ? TargetFilename : SourceFilename);
  op.style = CopyStyle;
  queue->copies.push_back(std::move(op));
  return TRUE;
}

// SetupCommitFileQueueA: carries out the queued copies in order, expanding
// compressed sources unless SP_COPY_NODECOMP, with STARTCOPY / COPYERROR /
// ENDCOPY notifications. FALSE with ERROR_INVALID_HANDLE, ERROR_CANCELLED
// (the callback aborted) or the error of the copy that failed.
extern "C" BOOL WINAPI SetupCommitFileQueueA(HWND Owner, HSPFILEQ QueueHandle, PSP_FILE_CALLBACK_A MsgHandler,
                                             PVOID Context) {
  (void)Owner;
  FileQueue* queue = lookupQueue(QueueHandle);
  if (!queue) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  for (const auto& op : queue->copies) {
    const UINT start = notify(MsgHandler, Context, SPFILENOTIFY_STARTCOPY, op, 0);
    if (start == FILEOP_SKIP) continue;
    if (start == FILEOP_ABORT) {
      SetLastError(ERROR_CANCELLED);
      return FALSE;
    }
    UINT none = FILE_COMPRESSION_NONE;
    const DWORD error =
        SetupDecompressOrCopyFileA(op.source.c_str(), op.target.c_str(), (op.style & SP_COPY_NODECOMP) ? &none : nullptr);
    if (error != NO_ERROR) {
      if (notify(MsgHandler, Context, SPFILENOTIFY_COPYERROR, op, error) == FILEOP_SKIP) continue;
      SetLastError(error);
      return FALSE;
    }
    notify(MsgHandler, Context, SPFILENOTIFY_ENDCOPY, op, 0);
  }
  queue->copies.clear();
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetupInitDefaultQueueCallback: the context of the default callback.
extern "C" PVOID WINAPI SetupInitDefaultQueueCallback(HWND OwnerWindow) {
  auto* context = new DefaultCallbackContext;
  context->owner = OwnerWindow;
  return context;
}

// SetupTermDefaultQueueCallback: frees that context.
extern "C" VOID WINAPI SetupTermDefaultQueueCallback(PVOID Context) {
  delete static_cast<DefaultCallbackContext*>(Context);
}

// SetupDefaultQueueCallbackA: goes ahead with every operation and media
// request; a copy error aborts the queue, since no one can be asked.
extern "C" UINT WINAPI SetupDefaultQueueCallbackA(PVOID Context, UINT Notification, UINT_PTR Param1,
                                                  UINT_PTR Param2) {
  (void)Context;
  (void)Param1;
  (void)Param2;
  switch (Notification) {
    case SPFILENOTIFY_COPYERROR:
      return FILEOP_ABORT;
    case SPFILENOTIFY_STARTCOPY:
    case SPFILENOTIFY_NEEDMEDIA:
      return FILEOP_DOIT;
    default:
      return 0;
  }
}

// SetupPromptForDiskA: no one can insert a disk on the simulated machine, so
// the "prompt" succeeds only when the file is already in PathToSource
// (DPROMPT_SUCCESS, the path returned) and is otherwise cancelled;
// DPROMPT_BUFFERTOOSMALL when the path does not fit.
extern "C" UINT WINAPI SetupPromptForDiskA(HWND hwndParent, PCSTR DialogTitle, PCSTR DiskName, PCSTR PathToSource,
                                           PCSTR FileSought, PCSTR TagFile, DWORD DiskPromptStyle,
                                           PSTR PathBuffer, DWORD PathBufferSize, PDWORD PathRequiredSize) {
  (void)hwndParent;
  (void)DialogTitle;
  (void)DiskName;
  (void)TagFile;
  (void)DiskPromptStyle;
  if (!PathToSource || !FileSought) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return DPROMPT_CANCEL;
  }
  auto host = winsim::hostPath(joinWin(PathToSource, FileSought));
  std::error_code ec;
  if (!host || !winsim::fs::exists(*host, ec)) {
    SetLastError(ERROR_CANCELLED);
    return DPROMPT_CANCEL;
  }
  const std::string path = PathToSource;
  const DWORD need = static_cast<DWORD>(path.size() + 1);
  if (PathRequiredSize) *PathRequiredSize = need;
  if (PathBuffer) {
    if (PathBufferSize < need) return DPROMPT_BUFFERTOOSMALL;
    std::memcpy(PathBuffer, path.c_str(), need);
  }
  return DPROMPT_SUCCESS;
}

// SetupInstallFromInfSectionA: winsim does not carry out INF install
// sections; FALSE with ERROR_CALL_NOT_IMPLEMENTED rather than a success that
// installed nothing.
extern "C" BOOL WINAPI SetupInstallFromInfSectionA(HWND Owner, HINF InfHandle, PCSTR SectionName, UINT Flags,
                                                   HKEY RelativeKeyRoot, PCSTR SourceRootPath, UINT CopyFlags,
                                                   PSP_FILE_CALLBACK_A MsgHandler, PVOID Context,
                                                   HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
  (void)Owner, (void)InfHandle, (void)SectionName, (void)Flags, (void)RelativeKeyRoot, (void)SourceRootPath;
  (void)CopyFlags, (void)MsgHandler, (void)Context, (void)DeviceInfoSet, (void)DeviceInfoData;
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
