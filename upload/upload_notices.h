// The messages an upload posts to the control's window. wParam is always
// the upload's worker, which the control knows its upload by.
#pragma once

#include <windows.h>

// The upload has ended: lParam 1 when it succeeded and 0 otherwise; its
// report holds the rest.
constexpr UINT WM_UPLOAD_FINISHED = WM_USER + 1;
// The upload's report holds new body byte counts.
constexpr UINT WM_UPLOAD_PROGRESS = WM_USER + 2;
