// Prints how fast the page reader goes through pages of different shapes,
// ordinary and hostile; each should take time in proportion to its size.
// Run by hand: build/native/page_scan_bench
#include <chrono>
#include <cstdio>
#include <string>

#include "container/portable/page_scanner.h"

namespace {

std::string Repeat(const std::string& piece, size_t bytes) {
  std::string text;
  text.reserve(bytes + piece.size());
  while (text.size() < bytes) text += piece;
  return text;
}

void Measure(const char* name, const std::string& page) {
  const auto start = std::chrono::steady_clock::now();
  const auto result = container::page::ScanPage(page);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-34s %6.1f MiB  %8.2f ms  %8.1f MiB/s  (%zu objects, %zu buttons, %zu scripts)\n",
              name, page.size() / 1048576.0, seconds * 1000, page.size() / 1048576.0 / seconds,
              result.objects.size(), result.buttons.size(), result.scripts.size());
}

}  // namespace

int main() {
  const size_t size = 8u << 20;
  Measure("ordinary markup", Repeat("<p class=\"x\">Some text &amp; more text</p>\n", size));
  Measure("objects with params",
          Repeat("<object id=u classid=\"clsid:63C86E2A-4127-4050-A0F7-CBA35E51CBA6\">"
                 "<param name=ScriptURL value=\"http://127.0.0.1/x\"></object>\n",
                 size));
  Measure("one large script", "<script>" + Repeat("var a = 'x<y>z';\n", size) + "</script>");
  Measure("unclosed buttons", Repeat("<button onclick=f()>x", size));
  Measure("bare ampersands in a value", "<param name=p value=\"" + std::string(size, '&') + "\">");
  Measure("stray '<' in text", Repeat("a < b ", size));
  Measure("unclosed comment", "<!--" + std::string(size, '-'));
  return 0;
}
