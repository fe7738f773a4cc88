// brimlet_host.exe demo <list-png> <progress-png> <url> <records-folder>:
// the main job of the control shown end to end (host/demo.h).
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "host/demo.h"

int main(int argc, char** argv) {
  if (argc != 6 || std::strcmp(argv[1], "demo") != 0) {
    std::fprintf(stderr, "usage: brimlet_host demo <list-png> <progress-png> <url> <records-folder>\n");
    return 2;
  }
  // The lines are UTF-8 bytes: a console shows them as such, a pipe gets
  // them unchanged (no CR added).
  ::SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  return host::RunDemo({argv[2], argv[3], argv[4], argv[5]});
}
