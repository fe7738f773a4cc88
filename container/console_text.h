// What the container's programs print: UTF-8 bytes on standard output,
// flushed at once, so that a console shows them and a pipe gets them as
// they are.
#pragma once

#include <string>

namespace container {

void WriteBytes(const std::string& bytes);
void WriteUtf8(const std::wstring& text);
// Text in the ANSI code page (the control's own), written as UTF-8.
void WriteAnsi(const std::string& text);

}  // namespace container
