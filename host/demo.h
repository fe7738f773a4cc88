// The main job, shown end to end: a page's control with its PARAM settings,
// files picked in the real open-file dialog, one upload to a local server
// while the progress dialog runs, and what the server received.
#pragma once

#include <string>

namespace host {

struct DemoOptions {
  std::string listPng;      // picture of the filled list
  std::string progressPng;  // picture of the progress dialog mid-transfer
  std::string url;          // the server script the page names
  std::string records;      // the receiver's record folder (Windows path)
};

// Prints what happens (UTF-8) and returns the process exit code.
int RunDemo(const DemoOptions& options);

}  // namespace host
