#include "tests/drivers/screenshot.h"

#include <wincodec.h>

#include "container/ole_session.h"
#include "framework/com_ptr.h"
#include "framework/text.h"
#include "framework/unique_handle.h"

namespace drivers {
namespace {

// Writes top-down rows of 24-bit blue-green-red pixels, `stride` bytes apart,
// as a PNG file through the system's imaging component.
bool WritePng(const std::string& path, UINT width, UINT height, UINT stride, BYTE* pixels) {
  // COM on this thread while the picture is written; a thread that has it
  // already keeps it as it was.
  const container::OleSession ole;
  fw::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.put_void())))
    return false;
  fw::ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromFilename(fw::WideFromNarrow(path).c_str(), GENERIC_WRITE)))
    return false;
  fw::ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)))
    return false;
  fw::ComPtr<IWICBitmapFrameEncode> frame;
  fw::ComPtr<IPropertyBag2> options;
  if (FAILED(encoder->CreateNewFrame(frame.put(), options.put())) || FAILED(frame->Initialize(options.get())) ||
      FAILED(frame->SetSize(width, height)))
    return false;
  // The encoder may only offer a neighbouring format; rows of another layout
  // would come out scrambled, so anything else is a failure.
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&format)) || !::IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) return false;
  return SUCCEEDED(frame->WritePixels(height, stride, stride * height, pixels)) && SUCCEEDED(frame->Commit()) &&
         SUCCEEDED(encoder->Commit());
}

}  // namespace

bool SaveWindowPng(HWND window, const std::string& path) {
  RECT client{};
  if (!::IsWindow(window) || !::GetClientRect(window, &client)) return false;
  const int width = client.right;
  const int height = client.bottom;
  if (width <= 0 || height <= 0) return false;
  // What a window's thread has not painted yet is black on its surface (a
  // dialog of another thread, pictured as soon as it shows): have every
  // pending paint done first, unless that thread does not answer.
  DWORD_PTR ignored = 0;
  if (::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored))
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);

  fw::UniqueWindowDC source(fw::WindowDC{window, ::GetDC(window)});
  if (!source) return false;
  const HDC sourceDC = source.get().dc;
  fw::UniqueDC memory(::CreateCompatibleDC(sourceDC));
  if (!memory) return false;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, as the encoder takes rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  fw::UniqueBitmap dib(::CreateDIBSection(sourceDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || !bits) return false;
  {
    fw::UniqueSelection selected(fw::DCSelection{memory.get(), ::SelectObject(memory.get(), dib.get())});
    // What is on the window's surface, children included, whether or not
    // they answer WM_PRINT.
    if (!::BitBlt(memory.get(), 0, 0, width, height, sourceDC, 0, 0, SRCCOPY)) return false;
  }
  ::GdiFlush();
  // DIB rows are padded to whole 32-bit words.
  const UINT stride = (static_cast<UINT>(width) * 3 + 3) & ~3U;
  return WritePng(path, static_cast<UINT>(width), static_cast<UINT>(height), stride, static_cast<BYTE*>(bits));
}

}  // namespace drivers
