#include "framework/com_object.h"

namespace fw {

HRESULT QueryInterfaceFromTable(void* object, const InterfaceEntry* table, REFIID iid,
                                void** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  for (const InterfaceEntry* entry = table; entry->iid; ++entry) {
    if (::IsEqualIID(iid, *entry->iid) ||
        (entry == table && ::IsEqualIID(iid, IID_IUnknown))) {
      auto* itf = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + entry->offset);
      itf->AddRef();
      *result = itf;
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

}  // namespace fw
