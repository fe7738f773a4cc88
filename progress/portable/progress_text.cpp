// The dialog's texts, built from numbers the transfer supplies.
#include "progress/portable/progress_text.h"

#include <cstdio>

namespace brimlet {
namespace {

std::string FormatFixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

const char kStatusReady[] = "준비";
const char kRowWaiting[] = "기다림";
const char kNameColumnTitle[] = "파일 이름";
const char kSizeColumnTitle[] = "크기";
const char kStatusColumnTitle[] = "상태";

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
