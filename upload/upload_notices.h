// The messages an upload posts to the control's message window. wParam is
// always the upload's number, which the control knows its upload by; the
// control believes neither message without its record of that number, and
// an end only once the report says the upload has ended.
#pragma once

#include <windows.h>

// The upload has ended: lParam 1 when it succeeded and 0 otherwise; its
// report holds the rest.
constexpr UINT WM_UPLOAD_FINISHED = WM_USER + 1;
// The upload's report holds new body byte counts.
constexpr UINT WM_UPLOAD_PROGRESS = WM_USER + 2;
