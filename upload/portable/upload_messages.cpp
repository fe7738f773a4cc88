// Texts the user sees when an upload fails.
#include "upload/upload_messages.h"

#include "upload/upload_report.h"

namespace brimlet {

const char kUrlSchemeError[] =
    "오류: URL은 http:// 또는 https:// 로 시작해야 합니다.";
const char kOpenInternetError[] = "인터넷 접속 열기 오류";
const char kConnectError[] = "인터넷 연결 오류";
const char kRequestHandleError[] = "Request 핸들 요구 실패:";
const char kRequestHeaderError[] = "RequestHeader 오류";
const char kEndRequestError[] = "HttpEndRequest 요청 오류";
const char kWriteError[] = "오류";
const char kFileInUse[] = "사용중인 파일입니다. 파일을 닫으신후 첨부하세요";
const char kFileChanged[] =
    "첨부한 뒤에 크기가 바뀐 파일이 있습니다. 파일을 다시 첨부하세요";
const char kFileReadError[] = "파일 읽기 오류";

const char kCancelledReason[] = "업로드가 취소되었습니다.";
const char kNotStartedReason[] = "업로드를 시작하지 못했습니다.";

std::string FormatStatusReason(long status) { return "서버 응답 오류: " + std::to_string(status); }

std::string FormatSendRequestError(unsigned long errorCode) {
  return "오류: HttpSendRequestEx: " + std::to_string(errorCode);
}

}  // namespace brimlet
