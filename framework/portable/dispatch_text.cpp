#include "framework/portable/dispatch_text.h"

namespace fw {

const char kTooFewArguments[] = "인수가 모자랍니다.";
const char kNamedArgumentsRefused[] = "이름 붙은 인수는 받지 않습니다.";
const char kReadOnlyProperty[] = "읽기 전용 속성입니다.";
const char kSiteNotAllowed[] = "이 사이트에서는 이 컨트롤을 쓸 수 없습니다.";

std::string MissingArgumentText(unsigned ordinal) { return std::to_string(ordinal) + "번째 인수가 없습니다."; }

std::string ArgumentTypeText(unsigned ordinal) {
  return std::to_string(ordinal) + "번째 인수의 형식이 맞지 않습니다.";
}

std::string ArgumentCountText(unsigned count) { return "인수 " + std::to_string(count) + "개가 필요합니다."; }

}  // namespace fw
