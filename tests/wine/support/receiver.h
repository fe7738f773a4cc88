// The local HTTP receiver as the Wine scenarios use it: a native Linux program
// that this Windows program starts, posts to through WinInet, reads the
// records of and stops. Wine starts an ELF program given by its Z:\ path but
// hands back no process handle, so everything runs through files in a folder
// of the build tree: the receiver writes its port there and files every
// request there, and it holds on to a lease file that this side opens with
// delete-on-close, so the receiver ends with this program however it ends.
//
// It can also listen for TLS, with a "localhost" certificate from the test
// authority (which TrustTestAuthority makes this Wine prefix trust) or from a
// stranger authority that nothing trusts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "tests/receiver/record.h"

namespace scenario {

struct RecordedRequest {
  receiver::RecordEntry entry;
  std::string bytes;  // as received: the head, then the body when it was stored

  std::string Head() const;  // up to and including the blank line
  std::string Body() const;  // what follows it
  // Value of the first header with this name, or "" when there is none.
  std::string Header(const std::string& name) const;
};

// The folder of one run of a receiver program, in the build tree, and the
// lease file the program holds on to: closing the lease (delete-on-close)
// tells the program to end, however this side ends.
struct RunFolder {
  std::string folder;      // Windows path
  std::string unixFolder;  // the same folder as the program sees it
  fw::UniqueFile lease;
};

// Creates a new folder under `runs` (a path of the build tree), named from
// `prefix`, and its lease. Wine hands out the same small process ids run
// after run, and a program that did not end leaves its folder (and its port
// file) behind: only a folder created now is used. A failure fails the
// current test and returns false.
bool CreateRunFolder(const std::string& runs, const std::string& prefix, RunFolder* run);

class Receiver {
 public:
  enum class Tls { kNone, kTrusted, kStranger };

  // Starts the receiver and waits until it listens; a failure fails the
  // current test and leaves Started() false.
  explicit Receiver(Tls tls = Tls::kNone);
  // Stops the receiver (bounded) and removes its records.
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  bool Started() const { return port_ != 0; }
  unsigned short Port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `pathAndQuery` (which starts with '/').
  std::string Url(const std::string& pathAndQuery) const;
  // The TLS side: "https://localhost:TLSPORT" and the path. A certificate
  // names a DNS name, never the address.
  unsigned short TlsPort() const { return tlsPort_; }
  std::string SecureUrl(const std::string& pathAndQuery) const;

  // Waits until at least `count` requests are filed or `timeoutMs` passes,
  // and returns every request filed by then, in order.
  std::vector<RecordedRequest> WaitForRequests(std::size_t count, DWORD timeoutMs = 15000) const;

  // Asks the receiver to end and waits for it at most `timeoutMs`; true when
  // it has ended. The destructor calls it.
  bool Stop(DWORD timeoutMs = 5000);

  // Windows path of the folder the requests are filed in.
  std::string RecordFolder() const { return run_.folder + "\\records"; }

  // A port on 127.0.0.1 that nobody listens on: connections to it are refused.
  static unsigned short UnusedPort();
  // Windows path of the native receiver program.
  static std::string ProgramPath();
  // Adds the test authority to the machine's Root store of this prefix (once
  // is enough; it stays); false if it could not.
  static bool TrustTestAuthority();

 private:
  RunFolder run_;
  unsigned short port_ = 0;
  unsigned short tlsPort_ = 0;
  bool stopped_ = false;
};

// "Z:" and the Unix path with backslashes: where Wine shows a Unix file.
std::string WindowsPathOf(const std::string& unixPath);

// The whole content of a file, or false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* content);

}  // namespace scenario
