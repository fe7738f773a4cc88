#include "framework/dispatch_call.h"

#include "framework/module.h"
#include "framework/portable/dispatch_text.h"
#include "framework/text.h"

namespace fw {

bool DispatchCall::Arg(UINT index, VARTYPE type, VARIANT* converted) {
  ::VariantInit(converted);
  if (index >= args_.cArgs) {
    Refuse(DISP_E_PARAMNOTOPTIONAL, kTooFewArguments);
    return false;
  }
  // DISPPARAMS holds the arguments last to first.
  const UINT position = args_.cArgs - 1 - index;
  const VARIANT& given = args_.rgvarg[position];
  const VARTYPE base = static_cast<VARTYPE>(given.vt & ~VT_BYREF);
  // An argument left out inside the list arrives as VT_ERROR (or, from
  // script, as VT_EMPTY): as missing as one never passed.
  if (base == VT_EMPTY || base == VT_ERROR) {
    if (argError_) *argError_ = position;
    Refuse(DISP_E_PARAMNOTOPTIONAL, MissingArgumentText(index + 1));
    return false;
  }
  if (FAILED(::VariantChangeType(converted, const_cast<VARIANT*>(&given), 0, type))) {
    if (argError_) *argError_ = position;
    Refuse(DISP_E_TYPEMISMATCH, ArgumentTypeText(index + 1));
    return false;
  }
  return true;
}

bool DispatchCall::StringArg(UINT index, std::wstring* value) {
  VARIANT converted;
  if (!Arg(index, VT_BSTR, &converted)) return false;
  value->assign(converted.bstrVal ? converted.bstrVal : L"", ::SysStringLen(converted.bstrVal));
  ::VariantClear(&converted);
  return true;
}

bool DispatchCall::LongArg(UINT index, LONG* value) {
  VARIANT converted;
  if (!Arg(index, VT_I4, &converted)) return false;
  *value = converted.lVal;
  return true;
}

void DispatchCall::ReturnString(const std::string& text) { ReturnString(WideFromNarrow(text)); }

void DispatchCall::ReturnString(const std::wstring& text) {
  if (!result_) return;
  ::VariantInit(result_);
  result_->vt = VT_BSTR;
  result_->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void DispatchCall::ReturnLong(LONG value) {
  if (!result_) return;
  ::VariantInit(result_);
  result_->vt = VT_I4;
  result_->lVal = value;
}

void DispatchCall::ReturnDouble(double value) {
  if (!result_) return;
  ::VariantInit(result_);
  result_->vt = VT_R8;
  result_->dblVal = value;
}

HRESULT DispatchCall::Refuse(HRESULT code, const std::string& why) {
  refusal_ = code;
  if (!exception_) return code;
  *exception_ = EXCEPINFO{};
  exception_->bstrSource = BstrFromNarrow(ModuleTitle());
  exception_->bstrDescription = BstrFromNarrow(why);
  exception_->scode = code;
  refusal_ = DISP_E_EXCEPTION;
  return refusal_;
}

}  // namespace fw
