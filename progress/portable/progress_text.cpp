// The dialog's texts, built from numbers the transfer supplies.
#include "progress/progress_text.h"

#include <cstdio>

#include "upload/grouped_number.h"

namespace brimlet {
namespace {

std::string FormatFixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

const char kStatusReady[] = "준비";
const char kStatusSending[] = "파일 전송중...";
const char kStatusDone[] = "전송 완료";
const char kStatusAwaitingReply[] = "서버 응답 기다림...";
const char kRowWaiting[] = "기다림";
const char kRowSending[] = "전송중";
const char kRowDone[] = "완료";

std::string FormatFileCount(std::uint32_t fileCount, std::uint32_t current) {
  return "전체 " + std::to_string(fileCount) + "개 중 " +
         std::to_string(current) + "개";
}

std::string FormatFileCountDone(std::uint32_t fileCount, std::uint32_t current) {
  return FormatFileCount(fileCount, current) + " 완료됨";
}

std::string FormatFileSizeText(const std::string& fileSizeText,
                               std::uint64_t sent) {
  return " (" + fileSizeText + " 중 " +
         FormatGroupedNumber(sent) + " 전송)";
}

std::string FormatTotalSizeText(const std::string& totalSizeText,
                                std::uint64_t sent) {
  return totalSizeText + " 중 " + FormatGroupedNumber(sent) + " 전송";
}

std::string FormatTimeLeft(std::uint32_t seconds) {
  if (seconds < 60) return std::to_string(seconds) + "초";
  std::string text = std::to_string(seconds / 60) + "분";
  if (seconds % 60 != 0) text += " " + std::to_string(seconds % 60) + "초";
  return text;
}

std::string FormatFileTimeLine(std::uint32_t seconds,
                               const std::string& fileSizeText) {
  return FormatTimeLeft(seconds) + fileSizeText;
}

std::string FormatTotalTimeLine(std::uint32_t seconds,
                                const std::string& totalSizeText) {
  return FormatTimeLeft(seconds) + " (" + totalSizeText + ")";
}

std::string FormatPercent(int position) {
  return std::to_string(position) + "%";
}

std::string FormatCaption(int position) {
  return "전체 " + FormatPercent(position) + " 완료됨";
}

std::string FormatRateText(double bytesPerMs, const std::string& kilobytesFormat,
                           const std::string& bytesFormat) {
  if (bytesPerMs < 1.0)
    return InsertArgument(bytesFormat, FormatFixed(bytesPerMs * 1024, 0));
  return InsertArgument(kilobytesFormat,
                        FormatFixed(bytesPerMs, bytesPerMs < 10.0 ? 2 : 0));
}

std::string InsertArgument(const std::string& format,
                           const std::string& argument) {
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '1') {
        out += argument;
        ++i;
        continue;
      }
      if (format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

}  // namespace brimlet
