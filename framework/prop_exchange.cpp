#include "framework/prop_exchange.h"

#include <algorithm>

#include "framework/text.h"

namespace fw {

// ---------------------------------------------------------------- reset
namespace {
template <class T>
void TakeDefault(T& value, const std::optional<T>& fallback) {
  if (fallback) value = *fallback;
}
}  // namespace

void ResetExchange::Long(const char*, LONG& value, std::optional<LONG> fallback) { TakeDefault(value, fallback); }
void ResetExchange::Bool(const char*, BOOL& value, std::optional<BOOL> fallback) { TakeDefault(value, fallback); }
void ResetExchange::String(const char*, std::string& value, const std::optional<std::string>& fallback) {
  TakeDefault(value, fallback);
}

// ---------------------------------------------------------------- record
void RecordExchange::Version(DWORD& version) {
  if (loading()) {
    std::uint32_t stored;
    if (reader_.U32(stored)) version = stored; else Fail();
  } else {
    writer_.U32(version);
  }
}

void RecordExchange::Long(const char*, LONG& value, std::optional<LONG>) {
  if (loading()) {
    std::int32_t stored;
    if (reader_.I32(stored)) value = stored; else Fail();
  } else {
    writer_.I32(value);
  }
}

void RecordExchange::Bool(const char*, BOOL& value, std::optional<BOOL>) {
  if (loading()) {
    std::uint32_t stored;
    if (reader_.U32(stored) && stored <= 1) value = stored != 0; else Fail();
  } else {
    writer_.U32(value ? 1 : 0);
  }
}

void RecordExchange::String(const char*, std::string& value, const std::optional<std::string>&) {
  if (loading()) {
    if (!reader_.Text(value)) Fail();
  } else {
    writer_.Text(value);
  }
}

bool ReadFramedRecord(IStream* stream, std::vector<std::uint8_t>* payload) {
  std::uint8_t prefix[4];
  ULONG got = 0;
  if (FAILED(stream->Read(prefix, sizeof prefix, &got)) || got != sizeof prefix) return false;
  const std::uint32_t length = DecodeLength(prefix);
  if (length > kMaxRecordPayload) return false;
  // Read in pieces, so that a forged length on a short stream fails at the
  // stream's end instead of allocating what it claims.
  payload->clear();
  constexpr ULONG kPiece = 64 * 1024;
  while (payload->size() < length) {
    const ULONG want = static_cast<ULONG>(std::min<std::size_t>(kPiece, length - payload->size()));
    const std::size_t at = payload->size();
    payload->resize(at + want);
    got = 0;
    if (FAILED(stream->Read(payload->data() + at, want, &got)) || got != want) return false;
  }
  return true;
}

HRESULT WriteFramedRecord(IStream* stream, const RecordWriter& record) {
  const std::vector<std::uint8_t> bytes = record.Framed();
  ULONG written = 0;
  const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  if (FAILED(hr)) return hr;
  return written == bytes.size() ? S_OK : STG_E_MEDIUMFULL;
}

// ---------------------------------------------------------------- bag
bool BagExchange::Read(const char* name, VARTYPE type, VARIANT* value) {
  const std::wstring wideName = WideFromNarrow(name);
  VARIANT stored;
  ::VariantInit(&stored);
  if (FAILED(bag_->Read(wideName.c_str(), &stored, log_))) return false;
  const HRESULT hr = ::VariantChangeType(value, &stored, 0, type);
  ::VariantClear(&stored);
  if (FAILED(hr)) {
    Fail();
    return false;
  }
  return true;
}

void BagExchange::Write(const char* name, VARIANT* value) {
  const std::wstring wideName = WideFromNarrow(name);
  if (FAILED(bag_->Write(wideName.c_str(), value))) Fail();
  ::VariantClear(value);
}

void BagExchange::Version(DWORD& version) {
  LONG stored = static_cast<LONG>(version);
  Long("_Version", stored, {});
  version = static_cast<DWORD>(stored);
}

void BagExchange::Long(const char* name, LONG& value, std::optional<LONG> fallback) {
  VARIANT v;
  ::VariantInit(&v);
  if (loading()) {
    if (Read(name, VT_I4, &v)) value = v.lVal;
    else if (fallback) value = *fallback;
    return;
  }
  v.vt = VT_I4;
  v.lVal = value;
  Write(name, &v);
}

void BagExchange::Bool(const char* name, BOOL& value, std::optional<BOOL> fallback) {
  VARIANT v;
  ::VariantInit(&v);
  if (loading()) {
    if (Read(name, VT_BOOL, &v)) value = v.boolVal != VARIANT_FALSE;
    else if (fallback) value = *fallback;
    return;
  }
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  Write(name, &v);
}

void BagExchange::String(const char* name, std::string& value,
                         const std::optional<std::string>& fallback) {
  VARIANT v;
  ::VariantInit(&v);
  if (loading()) {
    if (Read(name, VT_BSTR, &v)) {
      const std::optional<std::string> exact = AnsiText(v.bstrVal, ::SysStringLen(v.bstrVal));
      SetLastLossyText(exact ? std::nullopt : std::optional<std::wstring>(std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal))));
      value = exact ? *exact : NarrowFromBstr(v.bstrVal);
      ::VariantClear(&v);
    } else if (fallback) {
      value = *fallback;
    }
    return;
  }
  v.vt = VT_BSTR;
  v.bstrVal = BstrFromNarrow(value);
  if (!v.bstrVal) {
    Fail();
    return;
  }
  Write(name, &v);
}

}  // namespace fw
