// Why the dispatch table refuses a call, as a page's script reads it in the
// exception's description. Ordinals count arguments from 1, as a page writes
// them.
#pragma once

#include <string>

namespace fw {

extern const char kTooFewArguments[];        // "인수가 모자랍니다."
extern const char kNamedArgumentsRefused[];  // "이름 붙은 인수는 받지 않습니다."
extern const char kReadOnlyProperty[];       // "읽기 전용 속성입니다."
// Every member, to a page the deployer's site lock does not list.
extern const char kSiteNotAllowed[];         // "이 사이트에서는 이 컨트롤을 쓸 수 없습니다."

// "<n>번째 인수가 없습니다."
std::string MissingArgumentText(unsigned ordinal);
// "<n>번째 인수의 형식이 맞지 않습니다."
std::string ArgumentTypeText(unsigned ordinal);
// "인수 <n>개가 필요합니다."
std::string ArgumentCountText(unsigned count);

}  // namespace fw
