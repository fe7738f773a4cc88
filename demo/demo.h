// The main job, shown end to end: a sample page run as a browser runs it,
// files picked in the real open-file dialog through its Add button, one
// upload to a local server through its Upload button while the progress
// dialog runs, and what the server received.
#pragma once

#include <string>

namespace demo {

struct DemoOptions {
  std::string page;         // the sample page (Windows path)
  std::string server;       // what the page's {{SERVER}} stands for
  std::string records;      // the receiver's record folder (Windows path)
  std::string listPng;      // picture of the filled list
  std::string progressPng;  // picture of the progress dialog mid-transfer
};

// Prints what happens (UTF-8) and returns the process exit code.
int RunDemo(const DemoOptions& options);

}  // namespace demo
