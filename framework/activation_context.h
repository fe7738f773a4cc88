// The module's activation context, made from its manifest resource: while it
// is active, windows and dialogs created by the module get the common
// controls the manifest asks for (version 6), whoever hosts the module.
#pragma once

#include <windows.h>

namespace fw {

// Makes the module's context active for the scope's life. Without a manifest
// (a program linking the framework directly) it does nothing.
class ActivationScope {
 public:
  ActivationScope();
  ActivationScope(const ActivationScope&) = delete;
  ActivationScope& operator=(const ActivationScope&) = delete;
  ~ActivationScope();

  bool active() const { return active_; }

 private:
  ULONG_PTR cookie_ = 0;
  bool active_ = false;
};

}  // namespace fw
