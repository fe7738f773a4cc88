#include "framework/activation_context.h"

#include "framework/module.h"
#include "framework/unique_handle.h"

namespace fw {
namespace {

// The manifest resource id a DLL carries for its own isolation.
constexpr WORD kModuleManifestId = 2;

UniqueActivationContext CreateModuleContext() {
  HMODULE module = ModuleInstance();
  if (!::FindResourceA(module, MAKEINTRESOURCEA(kModuleManifestId), MAKEINTRESOURCEA(24))) return {};
  const std::string path = ModulePath();
  ACTCTXA request{sizeof request};
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
  request.lpSource = path.c_str();
  request.hModule = module;
  request.lpResourceName = MAKEINTRESOURCEA(kModuleManifestId);
  return UniqueActivationContext(::CreateActCtxA(&request));
}

HANDLE ModuleContext() {
  // Made once, on the first use, and released when the module unloads.
  static const UniqueActivationContext context = CreateModuleContext();
  return context.get();
}

}  // namespace

ActivationScope::ActivationScope() {
  HANDLE context = ModuleContext();
  if (context != INVALID_HANDLE_VALUE) active_ = ::ActivateActCtx(context, &cookie_) != FALSE;
}

ActivationScope::~ActivationScope() {
  if (active_) ::DeactivateActCtx(0, cookie_);
}

}  // namespace fw
