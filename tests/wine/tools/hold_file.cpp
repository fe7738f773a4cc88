// hold_file.exe <path> <ready-event> <release-event>: holds <path> open for
// writing, as an editor holding a document does. Sets the first named event
// once the file is open, and lets go when the second is set (or after a
// minute). Exits 1 if the file or an event could not be opened.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: hold_file <path> <ready-event> <release-event>\n");
    return 2;
  }
  HANDLE ready = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE release = ::OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
  HANDLE file = ::CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || !ready || !release) return 1;
  ::SetEvent(ready);
  ::WaitForSingleObject(release, 60000);
  ::CloseHandle(file);
  ::CloseHandle(release);
  ::CloseHandle(ready);
  return 0;
}
