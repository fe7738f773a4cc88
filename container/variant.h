// A VARIANT that owns what it holds: cleared on destruction, deep-copied on
// copy, handed over on move.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace container {

class Variant {
 public:
  Variant() noexcept { ::VariantInit(&value_); }
  ~Variant() { ::VariantClear(&value_); }

  Variant(const Variant& other) noexcept : Variant() {
    ::VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
  }
  Variant(Variant&& other) noexcept : value_(other.value_) { ::VariantInit(&other.value_); }
  Variant& operator=(Variant other) noexcept {
    std::swap(value_, other.value_);
    return *this;
  }

  // A copy of a value someone else owns. References are followed, so the
  // copy stays valid after the caller's frame is gone (event arguments).
  static Variant CopyOf(const VARIANT& source) noexcept {
    Variant result;
    ::VariantCopyInd(&result.value_, const_cast<VARIANT*>(&source));
    return result;
  }

  static Variant FromString(const std::wstring& text) noexcept {
    Variant result;
    BSTR copy = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (copy) {
      result.value_.vt = VT_BSTR;
      result.value_.bstrVal = copy;
    }
    return result;
  }
  static Variant FromLong(long number) noexcept {
    Variant result;
    result.value_.vt = VT_I4;
    result.value_.lVal = number;
    return result;
  }
  static Variant FromBool(bool flag) noexcept {
    Variant result;
    result.value_.vt = VT_BOOL;
    result.value_.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return result;
  }

  // The value as text; booleans read "True"/"False" rather than "-1"/"0".
  // Empty when the value has no text form.
  std::wstring AsString() const {
    Variant text;
    if (FAILED(Coerce(&text, VT_BSTR, VARIANT_ALPHABOOL)) || !text.value_.bstrVal) return {};
    return std::wstring(text.value_.bstrVal, ::SysStringLen(text.value_.bstrVal));
  }
  // The value as a number; 0 when it has none.
  long AsLong() const {
    Variant number;
    return SUCCEEDED(Coerce(&number, VT_I4, 0)) ? number.value_.lVal : 0;
  }
  // The value coerced to `type` into *out; the VariantChangeType result.
  HRESULT Coerce(Variant* out, VARTYPE type, USHORT flags = 0) const noexcept {
    out->Clear();
    return ::VariantChangeType(&out->value_, const_cast<VARIANT*>(&value_), flags, type);
  }

  VARTYPE type() const noexcept { return value_.vt; }
  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }
  void Clear() noexcept { ::VariantClear(&value_); }

 private:
  VARIANT value_;
};

}  // namespace container
