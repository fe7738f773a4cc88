// What one upload tells the page beyond success: its progress while it runs
// and, once it has ended, the server's status and reply and the failure
// the user saw. Shared by the control (which fires the events) and the
// upload's worker (which fills it); each upload has its own, so two uploads
// at once never mix their values.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace brimlet {

struct UploadReport {
  // Body bytes written so far and in all, for UploadProgress. The sender
  // posts one progress message at a time: `progressPosted` stays set until
  // the control has taken the values, and new ones wait for that.
  std::atomic<std::uint64_t> bodySent{0};
  std::atomic<std::uint64_t> bodyTotal{0};
  std::atomic<bool> progressPosted{false};

  // Written by the worker before it sets `ended` and posts the upload's
  // end, read by the control only once `ended` is set.
  long status = 0;          // the HTTP status, 0 when no answer came
  std::string reply;        // the kept reply body, as received
  bool replyIsUtf8 = false;
  std::string errorText;    // empty after a success
  bool succeeded = false;
  std::atomic<bool> ended{false};
};

// The reasons given when an upload failed without telling the user why.
extern const char kCancelledReason[];
extern const char kNotStartedReason[];
// "서버 응답 오류: <status>".
std::string FormatStatusReason(long status);

}  // namespace brimlet
