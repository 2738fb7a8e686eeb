// The error detail of the calling thread: a sentence about the last failure
// of an exported call, kept beside the result code (vexaGetLastErrorDetail).
#pragma once

#include <string>
#include <string_view>

namespace vexa {

// Whether this thread's detail holds a sentence. Every call looks at it
// twice, so it lives where the thread reaches it in one instruction (the
// initial-exec model: a byte of the static TLS block, which the loader
// keeps room for even in a library loaded late); the sentence itself is
// only touched when a call fails.
extern thread_local constinit bool t_has_error_detail
    __attribute__((tls_model("initial-exec")));

// Empties the detail of a failed call.
void ForgetErrorDetail() noexcept;
// Empties the detail: the call under way has not failed (yet).
inline void ClearErrorDetail() noexcept {
  if (t_has_error_detail) [[unlikely]] ForgetErrorDetail();
}
// Sets the detail of the call under way.
void SetErrorDetail(std::string_view sentence) noexcept;
// Whether the call under way has set a detail already (a nested call did).
inline bool HasErrorDetail() noexcept { return t_has_error_detail; }
const std::string& ErrorDetail();
// The sentence for a result code when nothing more is known (the table of
// result_text.cc).
const char* DescribeCode(int code);

}  // namespace vexa
