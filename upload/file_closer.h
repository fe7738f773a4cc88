// Closes the files an upload has finished reading, on a thread of its own.
//
// Closing a file is a round trip to the system whatever the file's size:
// with many small files it took as long as reading them, and the send loop
// waited for each. The loop hands a read file over and goes on; the closes
// are made in batches beside it. A file is held (shared with readers only)
// until its batch is closed: a batch goes once it is full, when the loop
// asks (before the request waits for its answer) and when the closer goes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <mutex>
#include <vector>

#include "framework/joinable_thread.h"
#include "framework/unique_handle.h"

namespace brimlet {

class FileCloser {
 public:
  FileCloser();
  // Closes every file still handed over, and waits for its thread.
  ~FileCloser();
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

  // Takes the file to close. Without its thread the file is closed here.
  void Close(fw::UniqueFile file);
  // Closes what was handed over so far, without waiting for it.
  void CloseHandedOver();

 private:
  void Run();

  std::mutex m_lock;  // guards the two below
  std::vector<fw::UniqueFile> m_handedOver;
  bool m_stopping = false;
  fw::UniqueHandle m_wake;  // auto-reset: a batch is waiting, or the end
  bool m_running = false;
  // Declared last: it goes first, once the thread has closed everything.
  fw::JoinableThread m_thread;
};

}  // namespace brimlet
