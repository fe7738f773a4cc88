// IDispatch from one table of members: {DISPID, name, type, accessors}.
// GetIDsOfNames and Invoke read the same table, so a name and its DISPID can
// never disagree; arguments are coerced with VariantChangeType.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cwchar>
#include <string>

#include "framework/dispatch_call.h"
#include "framework/portable/dispatch_text.h"
#include "framework/text.h"

namespace fw {

template <class T>
struct DispatchMember {
  DISPID id;
  const wchar_t* name;
  VARTYPE type;                             // VT_EMPTY for a method
  HRESULT (*get)(T&, VARIANT* result);      // properties
  HRESULT (*put)(T&, const VARIANT& value); // value already of `type`
  HRESULT (*call)(T&);                      // methods without arguments
  // Members that take arguments or return a value from a call; they read
  // their arguments and may refuse through the DispatchCall.
  HRESULT (*invoke)(T&, DispatchCall&);
  UINT argCount;
};

// A string property: its setter takes the page's text as given, so that
// nothing the code page would change is taken silently.
template <class T, std::string (T::*Get)() const, void (T::*Set)(const std::wstring&)>
struct StringAccess {
  static HRESULT get(T& object, VARIANT* result) {
    result->vt = VT_BSTR;
    result->bstrVal = BstrFromNarrow((object.*Get)());
    return result->bstrVal ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT put(T& object, const VARIANT& value) {
    (object.*Set)(std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal)));
    return S_OK;
  }
};

template <class T, LONG (T::*Get)() const, void (T::*Set)(LONG)>
struct LongAccess {
  static HRESULT get(T& object, VARIANT* result) {
    result->vt = VT_I4;
    result->lVal = (object.*Get)();
    return S_OK;
  }
  static HRESULT put(T& object, const VARIANT& value) {
    (object.*Set)(value.lVal);
    return S_OK;
  }
};

template <class T, BOOL (T::*Get)() const, void (T::*Set)(BOOL)>
struct BoolAccess {
  static HRESULT get(T& object, VARIANT* result) {
    result->vt = VT_BOOL;
    result->boolVal = (object.*Get)() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  static HRESULT put(T& object, const VARIANT& value) {
    (object.*Set)(value.boolVal != VARIANT_FALSE);
    return S_OK;
  }
};

template <class T, void (T::*Fn)()>
struct MethodAccess {
  static HRESULT call(T& object) {
    (object.*Fn)();
    return S_OK;
  }
};

// Read-only properties of the three kinds a page reads.
template <class T, LONG (T::*Get)() const>
struct LongGetter {
  static HRESULT get(T& object, VARIANT* result) {
    result->vt = VT_I4;
    result->lVal = (object.*Get)();
    return S_OK;
  }
};

template <class T, double (T::*Get)() const>
struct DoubleGetter {
  static HRESULT get(T& object, VARIANT* result) {
    result->vt = VT_R8;
    result->dblVal = (object.*Get)();
    return S_OK;
  }
};

template <class T, std::wstring (T::*Get)() const>
struct WideGetter {
  static HRESULT get(T& object, VARIANT* result) {
    const std::wstring text = (object.*Get)();
    result->vt = VT_BSTR;
    result->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return result->bstrVal ? S_OK : E_OUTOFMEMORY;
  }
};

template <class T, HRESULT (T::*Fn)(DispatchCall&)>
struct CallAccess {
  static HRESULT invoke(T& object, DispatchCall& call) { return (object.*Fn)(call); }
};

template <class T, LONG (T::*Get)() const>
constexpr DispatchMember<T> ReadOnlyLong(DISPID id, const wchar_t* name) {
  return {id, name, VT_I4, &LongGetter<T, Get>::get, nullptr, nullptr, nullptr, 0};
}
template <class T, double (T::*Get)() const>
constexpr DispatchMember<T> ReadOnlyDouble(DISPID id, const wchar_t* name) {
  return {id, name, VT_R8, &DoubleGetter<T, Get>::get, nullptr, nullptr, nullptr, 0};
}
template <class T, std::wstring (T::*Get)() const>
constexpr DispatchMember<T> ReadOnlyString(DISPID id, const wchar_t* name) {
  return {id, name, VT_BSTR, &WideGetter<T, Get>::get, nullptr, nullptr, nullptr, 0};
}
// A method of `argCount` arguments that may return a value.
template <class T, HRESULT (T::*Fn)(DispatchCall&)>
constexpr DispatchMember<T> MethodWithArgs(DISPID id, const wchar_t* name, UINT argCount) {
  return {id, name, VT_EMPTY, nullptr, nullptr, nullptr, &CallAccess<T, Fn>::invoke, argCount};
}

template <class T, std::string (T::*Get)() const, void (T::*Set)(const std::wstring&)>
constexpr DispatchMember<T> StringProperty(DISPID id, const wchar_t* name) {
  return {id, name, VT_BSTR, &StringAccess<T, Get, Set>::get, &StringAccess<T, Get, Set>::put, nullptr};
}
template <class T, LONG (T::*Get)() const, void (T::*Set)(LONG)>
constexpr DispatchMember<T> LongProperty(DISPID id, const wchar_t* name) {
  return {id, name, VT_I4, &LongAccess<T, Get, Set>::get, &LongAccess<T, Get, Set>::put, nullptr};
}
template <class T, BOOL (T::*Get)() const, void (T::*Set)(BOOL)>
constexpr DispatchMember<T> BoolProperty(DISPID id, const wchar_t* name) {
  return {id, name, VT_BOOL, &BoolAccess<T, Get, Set>::get, &BoolAccess<T, Get, Set>::put, nullptr};
}
template <class T, void (T::*Fn)()>
constexpr DispatchMember<T> Method(DISPID id, const wchar_t* name) {
  return {id, name, VT_EMPTY, nullptr, nullptr, &MethodAccess<T, Fn>::call};
}

// Names are matched without regard to case, as script languages expect.
template <class T, size_t N>
HRESULT DispatchGetIDsOfNames(const DispatchMember<T> (&table)[N], LPOLESTR* names, UINT count,
                              DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  if (count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const auto& member : table) {
    if (names[0] && ::_wcsicmp(names[0], member.name) == 0) {
      ids[0] = member.id;
      // No member takes named parameters.
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

// Any page can reach Invoke with any flags and arguments: nothing runs unless
// the call names a member in the way that member is used. A method is run by
// DISPATCH_METHOD alone (a property flag beside it, as script engines add
// DISPATCH_PROPERTYGET, does no harm) and never by a put; a property is read
// by DISPATCH_PROPERTYGET or DISPATCH_METHOD and set by a put that carries
// its one value as the DISPID_PROPERTYPUT named argument.
//
// Members that take arguments, and the read-only properties, refuse a wrong
// call with an EXCEPINFO that says why (when the caller passed one).
template <class T, size_t N>
HRESULT DispatchInvoke(T& object, const DispatchMember<T> (&table)[N], DISPID id, REFIID iid,
                       WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                       UINT* argError) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const DispatchMember<T>* member = nullptr;
  for (const auto& candidate : table) {
    if (candidate.id == id) member = &candidate;
  }
  if (!member) return DISP_E_MEMBERNOTFOUND;
  // No parameters at all is taken as a call without arguments. Counts that
  // promise arrays the caller did not pass are refused before anything is read.
  const DISPPARAMS none{};
  const DISPPARAMS& args = params ? *params : none;
  if ((args.cArgs != 0 && !args.rgvarg) || (args.cNamedArgs != 0 && !args.rgdispidNamedArgs) ||
      args.cNamedArgs > args.cArgs)
    return E_INVALIDARG;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  DispatchCall call(args, result, exception, argError);
  const auto named = [member](const std::string& why) {
    return NarrowFromWide(member->name, std::wcslen(member->name)) + ": " + why;
  };

  if (member->invoke) {
    if (!(flags & DISPATCH_METHOD) || put) return DISP_E_MEMBERNOTFOUND;
    if (args.cNamedArgs != 0) return call.Refuse(DISP_E_NONAMEDARGS, named(kNamedArgumentsRefused));
    if (args.cArgs != member->argCount)
      return call.Refuse(DISP_E_BADPARAMCOUNT,
                         named(ArgumentCountText(member->argCount)));
    if (result) ::VariantInit(result);
    return member->invoke(object, call);
  }

  if (member->call) {
    if (!(flags & DISPATCH_METHOD) || put) return DISP_E_MEMBERNOTFOUND;
    if (args.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (args.cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (result) ::VariantInit(result);
    return member->call(object);
  }

  if (put) {
    if (!member->put) return call.Refuse(DISP_E_MEMBERNOTFOUND, named(kReadOnlyProperty));
    if (args.cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (args.cNamedArgs != 1 || args.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return DISP_E_PARAMNOTOPTIONAL;
    VARIANT value;
    ::VariantInit(&value);
    HRESULT hr = ::VariantChangeType(&value, &args.rgvarg[0], 0, member->type);
    if (FAILED(hr)) {
      if (argError) *argError = 0;
      return DISP_E_TYPEMISMATCH;
    }
    hr = member->put(object, value);
    ::VariantClear(&value);
    return hr;
  }
  if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) {
    if (args.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (args.cArgs != 0) return DISP_E_BADPARAMCOUNT;
    VARIANT value;
    ::VariantInit(&value);
    const HRESULT hr = member->get(object, &value);
    if (result && SUCCEEDED(hr)) {
      ::VariantInit(result);
      *result = value;  // hands the value's ownership to the caller
    } else {
      ::VariantClear(&value);
    }
    return hr;
  }
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace fw
