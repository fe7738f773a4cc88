// probe_control.exe <progid>: creates the class a ProgID names, as a page's
// script would once the control is installed, reaches its IDispatch and reads
// its type information; prints what it found, one "name=value" a line:
//   created=yes, dispatch=yes, typeinfo=<interface name>, members=<count>
// Exits 1 at the first step that fails, after printing how far it got.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>

#include "framework/com_ptr.h"

namespace {

struct ComApartment {
  ComApartment() { ::CoInitialize(nullptr); }
  ~ComApartment() { ::CoUninitialize(); }
};

int Probe(const char* progId) {
  wchar_t wide[128] = {};
  ::MultiByteToWideChar(CP_ACP, 0, progId, -1, wide, 127);
  CLSID clsid{};
  fw::ComPtr<IDispatch> dispatch;
  const HRESULT created = SUCCEEDED(::CLSIDFromProgID(wide, &clsid))
                              ? ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                                   dispatch.put_void())
                              : REGDB_E_CLASSNOTREG;
  std::printf("created=%s\n", SUCCEEDED(created) ? "yes" : "no");
  if (FAILED(created)) return 1;
  std::printf("dispatch=%s\n", dispatch ? "yes" : "no");
  fw::ComPtr<ITypeInfo> info;
  UINT count = 0;
  if (FAILED(dispatch->GetTypeInfoCount(&count)) || count != 1 ||
      FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())))
    return 1;
  BSTR name = nullptr;
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)) ||
      FAILED(info->GetTypeAttr(&attributes)))
    return 1;
  std::printf("typeinfo=%ls\nmembers=%u\n", name,
              static_cast<unsigned>(attributes->cFuncs + attributes->cVars));
  info->ReleaseTypeAttr(attributes);
  ::SysFreeString(name);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: probe_control <progid>\n");
    return 2;
  }
  ComApartment apartment;
  return Probe(argv[1]);
}
