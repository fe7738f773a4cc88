// One of the example receivers of examples/server (php, node or python) as a
// Wine scenario uses it. Wine starts a Linux program by its Z:\ path, so the
// scenario starts bash with tests/server/serve.sh, which runs the receiver on
// a free port of 127.0.0.1 and writes that port to a file once it answers.
// The receiver stores into a folder of its own in the build tree and ends
// when the lease file, which this side holds with delete-on-close, goes away:
// with this object or with the program, however it ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "tests/wine/support/receiver.h"

namespace scenario {

// One line of a receiver's index.tsv: a file it stored and what the client
// said of it.
struct IndexEntry {
  std::string stored;  // the receiver's own name for it, in UploadFolder()
  std::string size;    // in bytes, as written
  std::string type;
  std::string name;    // the client's name, in the ANSI code page as the control shows it
  std::wstring wideName;  // the same, whole: characters the code page lacks included
};

class ExampleServer {
 public:
  // Starts the receiver of that kind and waits until it answers; a failure
  // fails the current test and leaves Started() false.
  explicit ExampleServer(const std::string& kind);
  // Stops the receiver (bounded) and removes its folder.
  ~ExampleServer();
  ExampleServer(const ExampleServer&) = delete;
  ExampleServer& operator=(const ExampleServer&) = delete;

  bool Started() const { return port_ != 0; }
  unsigned short Port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `pathAndQuery` (which starts with '/').
  std::string Url(const std::string& pathAndQuery) const;
  // Windows path of the folder the receiver stores the files in.
  std::string UploadFolder() const { return run_.folder + "\\uploads"; }
  // The receiver's index, in the order it stored the files.
  std::vector<IndexEntry> Index() const;
  // The receiver's own log, for failure messages.
  std::string Log() const;

  // Lets go of the lease and waits at most `timeoutMs` for the receiver to
  // end; true when it has. The destructor calls it.
  bool Stop(DWORD timeoutMs = 5000);

 private:
  RunFolder run_;
  unsigned short port_ = 0;
  bool stopped_ = false;
};

}  // namespace scenario
