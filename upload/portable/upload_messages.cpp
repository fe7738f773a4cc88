// Texts the user sees of an upload: its steps, counts and failures.
#include "upload/portable/upload_messages.h"

#include "upload/portable/grouped_number.h"
#include "upload/portable/upload_report.h"

namespace brimlet {

const char kStatusSending[] = "파일 전송중...";
const char kStatusDone[] = "전송 완료";
const char kStatusAwaitingReply[] = "서버 응답 기다림...";
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

std::string FormatDelimiterInFile(const std::string& path) {
  return path + " 파일에 업로드 구분 문자열이 들어 있어 보낼 수 없습니다.";
}

const char kFieldNameEmpty[] = "필드 이름이 비어 있습니다.";
const char kFieldNameCharacters[] = "필드 이름에 따옴표, 역슬래시나 줄바꿈을 쓸 수 없습니다.";
const char kFieldNameTaken[] = "FILE 뒤에 숫자가 오는 이름은 파일이 씁니다.";
const char kFieldValueLineBreak[] = "필드 값에 줄바꿈을 쓸 수 없습니다.";
const char kFieldValueDelimiter[] = "필드 값이 업로드 구분 문자열로 시작할 수 없습니다.";
const char kHeaderNameEmpty[] = "헤더 이름이 비어 있습니다.";
const char kHeaderNameCharacters[] = "헤더 이름에는 공백, 콜론, 줄바꿈이나 ASCII 밖의 글자를 쓸 수 없습니다.";
const char kHeaderValueControl[] = "헤더 값에 줄바꿈이나 제어 문자를 쓸 수 없습니다.";
const char kHeaderValueCodePage[] = "헤더 값에 코드 페이지 949에 없는 글자를 쓸 수 없습니다.";

const char kCancelledReason[] = "업로드가 취소되었습니다.";
const char kNotStartedReason[] = "업로드를 시작하지 못했습니다.";

std::string FormatStatusReason(long status) { return "서버 응답 오류: " + std::to_string(status); }

std::string FormatOwnedHeaderRefusal(const std::string& name) {
  return name + " 헤더는 컨트롤이 정합니다.";
}

std::string FormatForbiddenHeaderRefusal(const std::string& name) {
  return name + " 헤더는 페이지가 정할 수 없습니다.";
}

const char kCrossOriginRefused[] = "서버가 이 페이지에서 보내는 업로드를 받지 않습니다.";
const char kMixedContentError[] = "오류: https 페이지에서는 http:// 주소로 업로드할 수 없습니다.";
const char kWithheldStatusReason[] = "서버 응답 오류";

std::string FormatSendRequestError(unsigned long errorCode) {
  return "오류: HttpSendRequestEx: " + std::to_string(errorCode);
}

}  // namespace brimlet
