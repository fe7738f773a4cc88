// Opens the files of a job in list order on a thread of its own, a few files
// ahead of the thread that measures them and takes them in the same order.
//
// Under Wine opening a file and first using its handle (measuring it) are
// each a round trip to the system that mostly waits: one after the other on
// one thread they took two thirds of the upload of many small files, and
// the request cannot start before every file is opened. Side by side, the
// next files are opened while this one is measured. At most kAhead files
// are held open before they are taken, so a thread that stops to tell the
// user something holds no more than that.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <vector>

#include "framework/joinable_thread.h"
#include "framework/unique_handle.h"

namespace brimlet {

class FilesOpenedAhead {
 public:
  using Open = std::function<fw::UniqueFile(std::size_t index)>;
  // Starts opening files 0 … count − 1 with `open` on a thread of its own.
  // Without that thread (or for a single file) TakeNext opens each file
  // itself.
  FilesOpenedAhead(std::size_t count, Open open);
  // Stops opening, waits for the thread and closes every file not taken.
  ~FilesOpenedAhead();
  FilesOpenedAhead(const FilesOpenedAhead&) = delete;
  FilesOpenedAhead& operator=(const FilesOpenedAhead&) = delete;

  // The next file in list order, once it is opened: empty when it could not
  // be. Called count times at most, from one thread.
  fw::UniqueFile TakeNext();

  static constexpr std::size_t kAhead = 64;

 private:
  void Run();

  const std::size_t m_count;
  const Open m_open;
  // The ring of files opened and not yet taken; both counters only grow.
  SRWLOCK m_lock = SRWLOCK_INIT;
  CONDITION_VARIABLE m_changed = CONDITION_VARIABLE_INIT;
  std::vector<fw::UniqueFile> m_ring;
  std::size_t m_opened = 0;
  std::size_t m_taken = 0;
  bool m_stopping = false;
  bool m_running = false;
  // Declared last: it goes first, once the thread has stopped.
  fw::JoinableThread m_thread;
};

}  // namespace brimlet
