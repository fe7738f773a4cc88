// The container's IDispatch objects carry no type information: their callers
// know the members by number (a control calling its event sink or asking its
// site for an ambient property) or by the names Self::Names() lists, numbered
// from 1 (the page's own objects, which a script calls by name).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "framework/com_object.h"

namespace container {

// The member of `names` called `name` (without regard to case), numbered
// from 1; DISPID_UNKNOWN when there is none.
DISPID MemberId(const std::vector<const wchar_t*>& names, const wchar_t* name);

// IDispatch (after Others) without type information. Self answers Invoke,
// and may hide Names() and InterfaceTable(), which by default know no names
// and answer IDispatch alone.
template <class Self, class... Others>
class ScriptObject : public fw::ComObject<Self, Others..., IDispatch> {
 public:
  static const fw::InterfaceEntry* InterfaceTable() {
    static const fw::InterfaceEntry table[] = {
        fw::Entry<Self, IDispatch>(IID_IDispatch),
        {nullptr, 0},
    };
    return table;
  }
  static const std::vector<const wchar_t*>& Names() {
    static const std::vector<const wchar_t*> none;
    return none;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    ids[0] = MemberId(Self::Names(), names[0]);
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }
};

}  // namespace container
