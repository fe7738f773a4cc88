// The PARAM tags of a page, as the control's IPersistPropertyBag meets them:
// an ordered list of named values, looked up without regard to case.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <utility>
#include <vector>

#include "container/variant.h"
#include "framework/com_object.h"

namespace container {

class MemoryPropertyBag : public fw::ComObject<MemoryPropertyBag, IPropertyBag> {
 public:
  static const fw::InterfaceEntry* InterfaceTable();

  // Every value is kept as a VT_BSTR, the way a page's tags deliver them.
  static fw::ComPtr<MemoryPropertyBag> FromParams(
      const std::vector<std::pair<std::wstring, std::wstring>>& params);

  // A value absent from the bag reads E_INVALIDARG. When the caller names a
  // type in pVar->vt the value is coerced to it (DISP_E_TYPEMISMATCH when it
  // cannot be); the incoming pVar carries only that type and is overwritten.
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* pVar, IErrorLog* errorLog) override;
  // Replaces the value of that name, or appends it.
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* pVar) override;

  void Set(const std::wstring& name, Variant value);
  const Variant* Find(const std::wstring& name) const;
  std::vector<std::wstring> Names() const;
  size_t size() const { return entries_.size(); }

 private:
  friend class fw::ComObject<MemoryPropertyBag, IPropertyBag>;
  MemoryPropertyBag() = default;

  Variant* FindMutable(const wchar_t* name);

  std::vector<std::pair<std::wstring, Variant>> entries_;
};

}  // namespace container
