// One call of an automation member that takes arguments or may refuse: its
// arguments read left to right and converted, its result, and a refusal
// that tells the page why (an EXCEPINFO whose description a script error
// shows, carrying the error code as its scode).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace fw {

class DispatchCall {
 public:
  DispatchCall(const DISPPARAMS& args, VARIANT* result, EXCEPINFO* exception, UINT* argError)
      : args_(args), result_(result), exception_(exception), argError_(argError) {}

  UINT count() const { return args_.cArgs; }

  // Argument `index` (0 for the leftmost) as text or as a number; false
  // when it is missing or does not convert, after refusing the call (the
  // HRESULT to return is then refusal()).
  bool StringArg(UINT index, std::wstring* value);  // every character as given
  bool LongArg(UINT index, LONG* value);

  void ReturnString(const std::string& text);
  void ReturnString(const std::wstring& text);
  void ReturnLong(LONG value);
  void ReturnDouble(double value);

  // Refuses the call with `code`, saying why; returns what Invoke returns.
  HRESULT Refuse(HRESULT code, const std::string& why);
  HRESULT refusal() const { return refusal_; }

 private:
  bool Arg(UINT index, VARTYPE type, VARIANT* converted);

  const DISPPARAMS& args_;
  VARIANT* result_;
  EXCEPINFO* exception_;
  UINT* argError_;
  HRESULT refusal_ = S_OK;
};

}  // namespace fw
