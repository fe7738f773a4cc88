#include "host/screenshot.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "framework/unique_handle.h"
#include "host/png_encoder.h"

namespace host {
namespace {

// A window's client-area DC, given back with ReleaseDC.
class ClientDC {
 public:
  explicit ClientDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ClientDC(const ClientDC&) = delete;
  ClientDC& operator=(const ClientDC&) = delete;
  ~ClientDC() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Keeps an object selected into a DC for its lifetime.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() { ::SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The client area as top-down RGB rows.
bool CaptureRgb(HWND window, int width, int height, std::vector<std::uint8_t>* rgb) {
  ClientDC source(window);
  if (!source.get()) return false;
  fw::UniqueDC memory(::CreateCompatibleDC(source.get()));
  if (!memory) return false;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  fw::UniqueBitmap dib(
      ::CreateDIBSection(source.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || !bits) return false;

  {
    Selection selected(memory.get(), dib.get());
    // What is on the window's surface, children included, whether or not
    // they answer WM_PRINT.
    if (!::BitBlt(memory.get(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY)) return false;
  }
  ::GdiFlush();

  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  const auto* pixels = static_cast<const std::uint8_t*>(bits);
  rgb->resize(static_cast<size_t>(width) * 3 * height);
  std::uint8_t* out = rgb->data();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = pixels + y * stride;
    for (int x = 0; x < width; ++x, in += 3) {  // the DIB holds blue, green, red
      *out++ = in[2];
      *out++ = in[1];
      *out++ = in[0];
    }
  }
  return true;
}

}  // namespace

bool SaveWindowPng(HWND window, const std::string& path) {
  RECT client{};
  if (!::IsWindow(window) || !::GetClientRect(window, &client)) return false;
  const int width = client.right;
  const int height = client.bottom;
  if (width <= 0 || height <= 0) return false;

  std::vector<std::uint8_t> rgb;
  if (!CaptureRgb(window, width, height, &rgb)) return false;
  const std::vector<std::uint8_t> png = EncodePng(width, height, rgb);
  if (png.empty()) return false;

  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return file.good();
}

}  // namespace host
