#include "container/console_text.h"

#include <windows.h>

#include <cstdio>

#include "framework/text.h"

namespace container {

void WriteBytes(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void WriteUtf8(const std::wstring& text) { WriteBytes(fw::NarrowFromWide(text.data(), text.size(), CP_UTF8)); }

void WriteAnsi(const std::string& text) { WriteUtf8(fw::WideFromNarrow(text)); }

}  // namespace container
