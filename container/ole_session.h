// OLE for the life of a scope on the calling thread: the container's
// programs (the demo, the page command, the benchmark) each start with one.
#pragma once

#include <ole2.h>

namespace container {

class OleSession {
 public:
  OleSession() : result_(::OleInitialize(nullptr)) {}
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  ~OleSession() {
    if (SUCCEEDED(result_)) ::OleUninitialize();
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace container
