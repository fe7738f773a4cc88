// Property exchange: one DoPropExchange routine of a control serves loading,
// saving and resetting, against a stream record or a property bag.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <optional>
#include <string>

#include "framework/com_ptr.h"
#include "framework/portable/persisted_record.h"

namespace fw {

class PropExchange {
 public:
  enum class Mode { Load, Save, Reset };

  virtual ~PropExchange() = default;
  Mode mode() const { return mode_; }
  bool loading() const { return mode_ == Mode::Load; }
  // True once any value could not be read or written; the exchange goes on,
  // and the caller decides what a failed exchange means.
  bool failed() const { return failed_; }
  // The last text loaded as it was given, when it held a character the
  // ANSI code page lacks and so reads otherwise (a bag's texts are wide).
  const std::optional<std::wstring>& lastLossyText() const { return lastLossyText_; }

  // A value with a default takes it on reset and when a bag lacks it; one
  // without a default keeps its current value then.
  virtual void Version(DWORD& version) = 0;
  virtual void Long(const char* name, LONG& value, std::optional<LONG> fallback) = 0;
  virtual void Bool(const char* name, BOOL& value, std::optional<BOOL> fallback) = 0;
  virtual void String(const char* name, std::string& value,
                      const std::optional<std::string>& fallback) = 0;

 protected:
  explicit PropExchange(Mode mode) : mode_(mode) {}
  void Fail() { failed_ = true; }
  void SetLastLossyText(std::optional<std::wstring> text) { lastLossyText_ = std::move(text); }

 private:
  Mode mode_;
  bool failed_ = false;
  std::optional<std::wstring> lastLossyText_;
};

// Reset mode: every value with a default takes it.
class ResetExchange final : public PropExchange {
 public:
  ResetExchange() : PropExchange(Mode::Reset) {}
  void Version(DWORD&) override {}
  void Long(const char*, LONG& value, std::optional<LONG> fallback) override;
  void Bool(const char*, BOOL& value, std::optional<BOOL> fallback) override;
  void String(const char*, std::string& value, const std::optional<std::string>& fallback) override;
};

// Save to, or load from, the binary record (names are not stored).
class RecordExchange final : public PropExchange {
 public:
  RecordExchange() : PropExchange(Mode::Save) {}  // saving into writer()
  explicit RecordExchange(RecordReader reader) : PropExchange(Mode::Load), reader_(std::move(reader)) {}

  const RecordWriter& writer() const { return writer_; }

  void Version(DWORD& version) override;
  void Long(const char*, LONG& value, std::optional<LONG>) override;
  void Bool(const char*, BOOL& value, std::optional<BOOL>) override;
  void String(const char*, std::string& value, const std::optional<std::string>&) override;

 private:
  RecordWriter writer_;
  RecordReader reader_{{}};
};

// Save to, or load from, a property bag, the way a page's <PARAM> tags arrive:
// values come as text and are coerced to each property's type.
class BagExchange final : public PropExchange {
 public:
  BagExchange(IPropertyBag* bag, IErrorLog* log, Mode mode) : PropExchange(mode), bag_(bag), log_(log) {}

  void Version(DWORD& version) override;
  void Long(const char* name, LONG& value, std::optional<LONG> fallback) override;
  void Bool(const char* name, BOOL& value, std::optional<BOOL> fallback) override;
  void String(const char* name, std::string& value, const std::optional<std::string>& fallback) override;

 private:
  // Reads `name` coerced to `type`. Returns false when the bag lacks it;
  // marks the exchange failed when it holds something that cannot be coerced.
  bool Read(const char* name, VARTYPE type, VARIANT* value);
  void Write(const char* name, VARIANT* value);

  IPropertyBag* bag_;
  IErrorLog* log_;
};

// Stream framing of the record: reads exactly one framed record from the
// stream's current position; false when the stream ends early or the stored
// length is implausible.
bool ReadFramedRecord(IStream* stream, std::vector<std::uint8_t>* payload);
HRESULT WriteFramedRecord(IStream* stream, const RecordWriter& record);

// The MFC-style spelling the control's exchange routine uses.
inline void PX_Long(PropExchange& px, const char* name, LONG& value, std::optional<LONG> fallback = {}) {
  px.Long(name, value, fallback);
}
inline void PX_Bool(PropExchange& px, const char* name, BOOL& value, std::optional<BOOL> fallback = {}) {
  px.Bool(name, value, fallback);
}
inline void PX_String(PropExchange& px, const char* name, std::string& value,
                      const std::optional<std::string>& fallback = {}) {
  px.String(name, value, fallback);
}

}  // namespace fw
