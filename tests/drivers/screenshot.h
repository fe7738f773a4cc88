// Pictures of the host window for the demo and for failing scenarios.
#pragma once

#include <windows.h>

#include <string>

namespace drivers {

// Saves the window's client area, child windows included, as a PNG file;
// whether the file was written. The frame is left out: without a window
// manager to draw it, it has nothing to show.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace drivers
