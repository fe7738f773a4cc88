#include "container/property_bag.h"

#include <new>

namespace container {
namespace {

bool SameName(const wchar_t* a, const wchar_t* b) {
  return ::CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

const fw::InterfaceEntry* MemoryPropertyBag::InterfaceTable() {
  static const fw::InterfaceEntry table[] = {
      fw::Entry<MemoryPropertyBag, IPropertyBag>(IID_IPropertyBag),
      {nullptr, 0},
  };
  return table;
}

fw::ComPtr<MemoryPropertyBag> MemoryPropertyBag::FromParams(
    const std::vector<std::pair<std::wstring, std::wstring>>& params) {
  auto bag = Create();
  if (!bag) return bag;
  for (const auto& [name, value] : params) bag->Set(name, Variant::FromString(value));
  return bag;
}

STDMETHODIMP MemoryPropertyBag::Read(LPCOLESTR name, VARIANT* pVar, IErrorLog*) {
  if (!name || !pVar) return E_POINTER;
  const Variant* stored = FindMutable(name);
  if (!stored) return E_INVALIDARG;

  Variant result;
  HRESULT hr = S_OK;
  if (pVar->vt == VT_EMPTY) {
    hr = ::VariantCopy(result.get(), const_cast<VARIANT*>(stored->get()));
  } else if (FAILED(stored->Coerce(&result, pVar->vt))) {
    return DISP_E_TYPEMISMATCH;
  }
  if (FAILED(hr)) return hr;
  // Hand the bits over: result is left empty, the caller owns the value.
  *pVar = *result.get();
  ::VariantInit(result.get());
  return S_OK;
}

STDMETHODIMP MemoryPropertyBag::Write(LPCOLESTR name, VARIANT* pVar) {
  if (!name || !pVar) return E_POINTER;
  try {
    Set(name, Variant::CopyOf(*pVar));
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

void MemoryPropertyBag::Set(const std::wstring& name, Variant value) {
  if (Variant* existing = FindMutable(name.c_str())) {
    *existing = std::move(value);
  } else {
    entries_.emplace_back(name, std::move(value));
  }
}

const Variant* MemoryPropertyBag::Find(const std::wstring& name) const {
  return const_cast<MemoryPropertyBag*>(this)->FindMutable(name.c_str());
}

Variant* MemoryPropertyBag::FindMutable(const wchar_t* name) {
  for (auto& entry : entries_) {
    if (SameName(entry.first.c_str(), name)) return &entry.second;
  }
  return nullptr;
}

std::vector<std::wstring> MemoryPropertyBag::Names() const {
  std::vector<std::wstring> names;
  names.reserve(entries_.size());
  for (const auto& entry : entries_) names.push_back(entry.first);
  return names;
}

}  // namespace container
