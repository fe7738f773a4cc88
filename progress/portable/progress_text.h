// The texts of the progress dialog that the dialog itself writes: remaining
// times, percentages, the caption and the rate pane. The step, count and
// size texts the send loop reports are upload/portable/upload_messages.h.
#pragma once

#include <cstdint>
#include <string>

namespace brimlet {

// Status-bar pane 0 before the transfer starts, and the status column of a
// file row not yet sent; what the transfer writes there is the send loop's
// (upload/portable/upload_messages.h).
extern const char kStatusReady[];          // "준비"
extern const char kRowWaiting[];           // "기다림"

// The titles of a file list's columns: the dialog's three, of which the
// control's list shows the first two (with its count and total after them).
extern const char kNameColumnTitle[];    // "파일 이름"
extern const char kSizeColumnTitle[];    // "크기"
extern const char kStatusColumnTitle[];  // "상태"

// "45초", "3분", "3분 20초".
std::string FormatTimeLeft(std::uint32_t seconds);
// The current-file line: time left, then the file's size text.
std::string FormatFileTimeLine(std::uint32_t seconds,
                               const std::string& fileSizeText);
// The all-files line: time left, then " (<total size text>)".
std::string FormatTotalTimeLine(std::uint32_t seconds,
                                const std::string& totalSizeText);

// "45%" beside a bar, and the caption "전체 45% 완료됨".
std::string FormatPercent(int position);
std::string FormatCaption(int position);

// The rate pane. `kilobytesFormat` and `bytesFormat` are the two resource
// texts with a "%1" insert; below one byte per millisecond the rate is shown
// in bytes per second, from ten on without decimals.
std::string FormatRateText(double bytesPerMs, const std::string& kilobytesFormat,
                           const std::string& bytesFormat);

// Puts `argument` where the format says "%1"; "%%" stands for one '%'.
std::string InsertArgument(const std::string& format, const std::string& argument);

}  // namespace brimlet
