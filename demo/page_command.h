// brimlet_demo.exe page <file.html> [options]: runs a page as a browser runs
// it (page_host.h), then what the options ask, in their order:
//   --run "code"         run JScript statements as the page's own code
//   --click "label|id"   run the onclick of that button
//   --define NAME=VALUE  put VALUE in place of {{NAME}} in the page
//                        (SERVER defaults to http://127.0.0.1:8080)
//   --wait MS            pump messages until the page calls window.close()
//                        or navigates, at most MS ms (default 2000)
//   --png FILE           save a picture of the page window at the end
// Prints the page's transcript (UTF-8), then one "[dialog] caption: text"
// line for each dialog the control showed, which the host answers with OK;
// notes and errors go to the error stream.
#pragma once

#include <string>
#include <vector>

namespace demo {

// `args` as the command line holds them, the program's name and "page"
// first. Returns the exit code: 0, 1 when the page had an error, 2 for bad
// arguments or an unknown button, 3 when the page could not be read.
int RunPageCommand(const std::vector<std::wstring>& args);

}  // namespace demo
