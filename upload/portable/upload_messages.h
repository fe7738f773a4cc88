// The texts the upload shows the user: the steps, counts and sizes the send
// loop reports to the progress dialog, and the failures, in one place so the
// send loop and the network glue speak with one voice. Byte counts are
// grouped with commas.
#pragma once

#include <cstdint>
#include <string>

namespace brimlet {

// Status-bar pane 0 and the status column of the file rows while sending.
extern const char kStatusSending[];        // "파일 전송중..."
extern const char kStatusDone[];           // "전송 완료"
extern const char kStatusAwaitingReply[];  // "서버 응답 기다림..."
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

// Failures.

extern const char kUrlSchemeError[];
extern const char kOpenInternetError[];
extern const char kConnectError[];
extern const char kRequestHandleError[];
extern const char kRequestHeaderError[];
extern const char kEndRequestError[];
// A piece of the body, a part's framing or the trailer was not written.
extern const char kWriteError[];
// A file that cannot be opened, at job time or at send time.
extern const char kFileInUse[];
// A file whose size or content length no longer matches what was declared.
extern const char kFileChanged[];
// A file that could be opened but not read to its end.
extern const char kFileReadError[];
// "<path> 파일에 업로드 구분 문자열이 들어 있어 보낼 수 없습니다.": a file whose
// content would end its part early and add parts of its own.
std::string FormatDelimiterInFile(const std::string& path);

// Why a page's form field or header line is refused.
extern const char kFieldNameEmpty[];
extern const char kFieldNameCharacters[];  // a quote, a backslash or a line break
extern const char kFieldNameTaken[];       // FILE and a number: a file's part
extern const char kFieldValueLineBreak[];
extern const char kFieldValueDelimiter[];  // starts with the body's delimiter
extern const char kHeaderNameEmpty[];
extern const char kHeaderNameCharacters[];  // not a token
extern const char kHeaderValueControl[];    // a line break or a control character
extern const char kHeaderValueCodePage[];   // a character the ANSI code page lacks
// "<name> 헤더는 컨트롤이 정합니다.": a header the control writes itself.
std::string FormatOwnedHeaderRefusal(const std::string& name);
// "<name> 헤더는 페이지가 정할 수 없습니다.": a header only a browser sets.
std::string FormatForbiddenHeaderRefusal(const std::string& name);

// A server of another origin that did not agree to the page's upload.
extern const char kCrossOriginRefused[];
// An https page whose upload would go out over plain http.
extern const char kMixedContentError[];
// Why an upload failed, to a page that may not read the server's status.
extern const char kWithheldStatusReason[];

// "오류: HttpSendRequestEx: %d" with the system's error code.
std::string FormatSendRequestError(unsigned long errorCode);

}  // namespace brimlet
