#include "container/page_window.h"

#include <oleauto.h>

#include "container/variant.h"

namespace container {
namespace {

enum DocumentMember : DISPID { kWrite = 1, kWriteLine, kTitle };
enum WindowMember : DISPID { kAlert = 1, kLog, kClose, kDocument, kLocation };

HRESULT ReturnString(const std::wstring& text, VARIANT* result) {
  if (!result) return S_OK;
  result->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!result->bstrVal) return E_OUTOFMEMORY;
  result->vt = VT_BSTR;
  return S_OK;
}

std::wstring Joined(const std::vector<VARIANT>& args) {
  std::wstring text;
  for (const VARIANT& arg : args) text += ScriptValueText(arg);
  return text;
}

bool IsCall(WORD flags) { return (flags & DISPATCH_METHOD) != 0; }
bool IsGet(WORD flags) { return (flags & DISPATCH_PROPERTYGET) != 0; }
bool IsPut(WORD flags) { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }

}  // namespace

std::wstring ScriptValueText(const VARIANT& value) {
  const VARIANT* v = &value;
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  switch (v->vt) {
    case VT_EMPTY: return L"undefined";
    case VT_NULL: return L"null";
    case VT_BOOL: return v->boolVal ? L"true" : L"false";
    case VT_BSTR: return v->bstrVal ? std::wstring(v->bstrVal, ::SysStringLen(v->bstrVal)) : L"";
    case VT_DISPATCH:
    case VT_UNKNOWN: return L"[object]";
    default: break;
  }
  Variant text;
  if (FAILED(::VariantChangeTypeEx(text.get(), const_cast<VARIANT*>(v), LOCALE_INVARIANT, 0,
                                   VT_BSTR))) {
    return L"[value]";
  }
  return text.AsString();
}

DISPID MemberId(const std::vector<const wchar_t*>& names, const wchar_t* name) {
  if (!name) return DISPID_UNKNOWN;
  for (size_t i = 0; i < names.size(); ++i) {
    // NOLINTNEXTLINE(bugprone-misplaced-widening-cast): size_t is DISPID's width on i686
    if (::lstrcmpiW(names[i], name) == 0) return static_cast<DISPID>(i + 1);
  }
  return DISPID_UNKNOWN;
}

const std::vector<const wchar_t*>& PageDocument::Names() {
  static const std::vector<const wchar_t*> names = {L"write", L"writeln", L"title"};
  return names;
}

HRESULT PageDocument::OnInvoke(DISPID id, WORD flags, const std::vector<VARIANT>& args,
                               VARIANT* result) {
  switch (id) {
    case kWrite:
    case kWriteLine:
      if (!IsCall(flags)) return DISP_E_MEMBERNOTFOUND;
      return services()->Write(Joined(args) + (id == kWriteLine ? L"\n" : L""));
    case kTitle:
      if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
      return ReturnString(services()->Title(), result);
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

const std::vector<const wchar_t*>& PageWindow::Names() {
  static const std::vector<const wchar_t*> names = {L"alert", L"log", L"close", L"document",
                                                    L"location"};
  return names;
}

PageWindow::PageWindow(PageServices* services)
    : PageObject(services), document_(PageDocument::Create(services)) {}

HRESULT PageWindow::OnInvoke(DISPID id, WORD flags, const std::vector<VARIANT>& args,
                             VARIANT* result) {
  switch (id) {
    case kAlert:
      if (!IsCall(flags)) return DISP_E_MEMBERNOTFOUND;
      services()->Alert(args.empty() ? std::wstring() : ScriptValueText(args[0]));
      return S_OK;
    case kLog:
      if (!IsCall(flags)) return DISP_E_MEMBERNOTFOUND;
      return services()->Write(Joined(args) + L"\n");
    case kClose:
      if (!IsCall(flags)) return DISP_E_MEMBERNOTFOUND;
      services()->Close();
      return S_OK;
    case kDocument:
      if (!IsGet(flags) || !document_) return DISP_E_MEMBERNOTFOUND;
      if (result) {
        result->vt = VT_DISPATCH;
        result->pdispVal = document_.get();
        result->pdispVal->AddRef();
      }
      return S_OK;
    case kLocation:
      if (IsPut(flags)) {
        if (args.empty()) return DISP_E_BADPARAMCOUNT;
        services()->Navigate(ScriptValueText(args.back()));
        return S_OK;
      }
      if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
      return ReturnString(services()->Location(), result);
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace container
