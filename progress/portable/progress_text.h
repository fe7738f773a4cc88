// The texts of the progress dialog: step and status messages, the count and
// size lines, remaining times, percentages, the caption and the rate pane.
// Numbers come in 64-bit; byte counts are grouped with commas.
#pragma once

#include <cstdint>
#include <string>

namespace brimlet {

// Status-bar pane 0 and the status column of the file rows.
extern const char kStatusReady[];          // "준비"
extern const char kStatusSending[];        // "파일 전송중..."
extern const char kStatusDone[];           // "전송 완료"
extern const char kStatusAwaitingReply[];  // "서버 응답 기다림..."
extern const char kRowWaiting[];           // "기다림"
extern const char kRowSending[];           // "전송중"
extern const char kRowDone[];              // "완료"

// Pane 1: file k of n, then k of n done.
std::string FormatFileCount(std::uint32_t fileCount, std::uint32_t current);
std::string FormatFileCountDone(std::uint32_t fileCount, std::uint32_t current);

// " (<size> 중 <sent> 전송)", shown after the current file's time left.
// "<total> 중 <sent> 전송", shown in parentheses after the total time left.
// The sizes come grouped already: they stay the same for a file or the job.
std::string FormatFileSizeText(const std::string& fileSizeText,
                               std::uint64_t sent);
std::string FormatTotalSizeText(const std::string& totalSizeText,
                                std::uint64_t sent);

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
