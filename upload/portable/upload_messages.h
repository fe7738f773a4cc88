// The fixed texts the upload shows the user when it fails, in one place so
// the send loop and the network glue speak with one voice.
#pragma once

#include <string>

namespace brimlet {

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

// "오류: HttpSendRequestEx: %d" with the system's error code.
std::string FormatSendRequestError(unsigned long errorCode);

}  // namespace brimlet
