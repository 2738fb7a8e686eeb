// The error detail of the calling thread: a sentence about the last failure
// of an exported call, kept beside the result code (vexaGetLastErrorDetail).
#pragma once

#include <string>
#include <string_view>

namespace vexa {

// Empties the detail: the call under way has not failed (yet).
void ClearErrorDetail() noexcept;
// Sets the detail of the call under way.
void SetErrorDetail(std::string_view sentence) noexcept;
// Whether the call under way has set a detail already (a nested call did).
bool HasErrorDetail() noexcept;
const std::string& ErrorDetail();
// The sentence for a result code when nothing more is known (the table of
// result_text.cc).
const char* DescribeCode(int code);

}  // namespace vexa
