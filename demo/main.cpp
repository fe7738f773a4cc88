// brimlet_demo.exe demo <page> <server> <records-folder> <list-png> <progress-png>:
// the main job of the control shown end to end (demo/demo.h).
// brimlet_demo.exe page <file.html> [options]: a page run as a browser runs
// it (demo/page_command.h).
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "demo/page_command.h"

int main(int argc, char** argv) {
  // The lines are UTF-8 bytes: a console shows them as such, a pipe gets
  // them unchanged (no CR added).
  ::SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc >= 2 && std::strcmp(argv[1], "page") == 0) {
    _setmode(_fileno(stderr), _O_BINARY);
    // The arguments as the system holds them, so a snippet keeps any character.
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args(wide, wide + (wide ? count : 0));
    ::LocalFree(wide);
    return demo::RunPageCommand(args);
  }
  if (argc != 7 || std::strcmp(argv[1], "demo") != 0) {
    std::fprintf(stderr,
                 "usage: brimlet_demo demo <page> <server> <records-folder> <list-png> <progress-png>\n"
                 "       brimlet_demo page <file.html> [options]\n");
    return 2;
  }
  return demo::RunDemo({argv[2], argv[3], argv[4], argv[5], argv[6]});
}
