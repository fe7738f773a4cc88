// The file name on the wire: what code page 949 holds goes out as its bytes,
// everything else as decimal references. The encoder here is the C library's
// own code page 949 converter, so the test does not share the module's.
#include "upload/portable/wire_name.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <string>

namespace brimlet {
namespace {

std::optional<std::string> Cp949Character(char32_t codePoint) {
  iconv_t converter = ::iconv_open("CP949", "UTF-32LE");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  char in[4] = {static_cast<char>(codePoint & 0xFF), static_cast<char>((codePoint >> 8) & 0xFF),
                static_cast<char>((codePoint >> 16) & 0xFF), static_cast<char>(codePoint >> 24)};
  char out[16];
  char* inPointer = in;
  char* outPointer = out;
  std::size_t inLeft = sizeof in;
  std::size_t outLeft = sizeof out;
  const std::size_t converted = ::iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
  ::iconv_close(converter);
  if (converted == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
  return std::string(out, static_cast<std::size_t>(outPointer - out));
}

std::wstring Utf16(std::initializer_list<char16_t> units) {
  std::wstring text;
  for (char16_t unit : units) text.push_back(static_cast<wchar_t>(unit));
  return text;
}

TEST(WireNameTest, NamesTheCodePageLacksBecomeReferencesAndTheRestStaysItsBytes) {
  ASSERT_TRUE(Cp949Character(U'A'));  // the C library has the code page
  const struct {
    std::wstring name;
    std::string wire;
  } rows[] = {
      {L"C:\\up\\a.txt", "C:\\up\\a.txt"},
      {L"C:\\up\\caf\u00e9.txt", "C:\\up\\caf&#233;.txt"},
      {L"M\u00fcller.docx", "M&#252;ller.docx"},
      {L"\u0e20\u0e32\u0e29\u0e32.txt", "&#3616;&#3634;&#3625;&#3634;.txt"},
      // 한글 in code page 949, then é as a reference, byte for byte.
      {L"\ud55c\uae00 caf\u00e9.hwp", "\xc7\xd1\xb1\xdb caf&#233;.hwp"},
      // Korean text and symbols the code page holds never become references.
      {L"\ubcf4\uace0\uc11c\u00b7\u2460.txt", "\xba\xb8\xb0\xed\xbc\xad\xa1\xa4\xa8\xe7.txt"},
      {L"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(row.wire, WireName(row.name, &Cp949Character));

  // An emoji outside the basic plane is one reference, whether the system
  // gives it as a surrogate pair or as one 32-bit unit.
  EXPECT_EQ("&#128512;.png", WireName(Utf16({0xD83D, 0xDE00, u'.', u'p', u'n', u'g'}), &Cp949Character));
  if (sizeof(wchar_t) == 4) {
    EXPECT_EQ("&#128512;.png", WireName(std::wstring{static_cast<wchar_t>(0x1F600)} + L".png",
                                        &Cp949Character));
  }
  // A surrogate without its partner is no character: it is sent as the
  // replacement character, and what follows is kept.
  EXPECT_EQ("a&#65533;b", WireName(Utf16({u'a', 0xD83D, u'b'}), &Cp949Character));
  EXPECT_EQ("&#65533;&#65533;", WireName(Utf16({0xDE00, 0xD83D}), &Cp949Character));
}

// A header line has no references: a text the code page holds is its bytes,
// one it does not hold is nothing at all, not a text with '?' in it.
TEST(WireNameTest, HeaderTextIsTheCodePageBytesOrNothing) {
  EXPECT_EQ(std::optional<std::string>("token \xc5\xe4\xc5\xab 1"),
            CodePageText(L"token \ud1a0\ud070 1", &Cp949Character));  // "토큰"
  EXPECT_EQ(std::optional<std::string>(""), CodePageText(L"", &Cp949Character));
  EXPECT_EQ(std::nullopt, CodePageText(L"caf\u00e9", &Cp949Character));
  EXPECT_EQ(std::nullopt, CodePageText(Utf16({u'a', 0xD83D, 0xDE00}), &Cp949Character));
  EXPECT_EQ(std::nullopt, CodePageText(Utf16({u'a', 0xD83D}), &Cp949Character));
}

}  // namespace
}  // namespace brimlet
