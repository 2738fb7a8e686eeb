// The one table of result codes: each code's name and a short sentence.
// vexaResultText hands the whole "NAME: sentence" text to callers, and the
// error detail of a failure that knows nothing more uses the sentence alone.
// The library's version lives here too: both are additions of this library.
#include <cstring>

#include "api/error_detail.h"
#include "vexaio.h"

namespace vexa {
namespace {

struct ResultText {
  int code;
  const char* text;  // "NAME: sentence", a static string
};

// The name is the macro's own spelling, so it cannot drift from the header.
#define VEXA_RESULT(name, sentence) {name, #name ": " sentence}

constexpr ResultText kResultTexts[] = {
    VEXA_RESULT(VEXA_OK, "the call succeeded"),
    VEXA_RESULT(VEXA_W_LABEL_TRUNCATED, "the variable label was stored cut to 256 bytes"),
    VEXA_RESULT(VEXA_W_VALUE_LABEL_TRUNCATED, "the value label was stored cut to 120 bytes"),
    VEXA_RESULT(VEXA_W_END_OF_DATA, "there is no further case"),
    VEXA_RESULT(VEXA_W_NO_VARIABLE_SETS, "the file has no variable sets"),
    VEXA_RESULT(VEXA_W_NO_VALUE_LABELS, "the variable has no value labels"),
    VEXA_RESULT(VEXA_W_NO_LABEL, "the variable or value has no label"),
    VEXA_RESULT(VEXA_W_NO_WEIGHT, "the file has no weight variable"),
    VEXA_RESULT(VEXA_W_NO_DATE_INFO, "the file has no date information"),
    VEXA_RESULT(VEXA_W_NO_MULT_RESP, "the file has no multiple-response sets"),
    VEXA_RESULT(VEXA_W_NO_KVT_INFO, "the file has no KVT information"),
    VEXA_RESULT(VEXA_E_FILE_OPEN, "the file cannot be opened, created or written"),
    VEXA_RESULT(VEXA_E_FILE_WRITE, "a case could not be written to the file"),
    VEXA_RESULT(VEXA_E_FILE_READ, "the file cannot be read"),
    VEXA_RESULT(VEXA_E_TOO_MANY_FILES, "all 100 handles are in use"),
    VEXA_RESULT(VEXA_E_BAD_HANDLE, "the handle is not open"),
    VEXA_RESULT(VEXA_E_DICTIONARY, "the dictionary has no variables or two names that differ only in case"),
    VEXA_RESULT(VEXA_E_NO_MEMORY, "memory could not be obtained, or the cases cannot be read"),
    VEXA_RESULT(VEXA_E_OPENED_FOR_READ, "the handle was opened for reading"),
    VEXA_RESULT(VEXA_E_OPENED_FOR_WRITE, "the handle was opened for writing or appending"),
    VEXA_RESULT(VEXA_E_BAD_VAR_NAME, "the variable name is not valid"),
    VEXA_RESULT(VEXA_E_NO_VARIABLES, "the dictionary has no variables"),
    VEXA_RESULT(VEXA_E_VAR_NOT_FOUND, "no variable has that name or index"),
    VEXA_RESULT(VEXA_E_DUPLICATE_VAR, "a variable of that name exists already"),
    VEXA_RESULT(VEXA_E_NOT_NUMERIC, "the variable is not numeric"),
    VEXA_RESULT(VEXA_E_WRONG_TYPE, "the variable is not a string"),
    VEXA_RESULT(VEXA_E_BAD_VAR_TYPE, "the variable type is above 32,767"),
    VEXA_RESULT(VEXA_E_BAD_MISSING_VALUES, "the missing values are not valid"),
    VEXA_RESULT(VEXA_E_BAD_PRINT_FORMAT, "the print format is not valid"),
    VEXA_RESULT(VEXA_E_BAD_WRITE_FORMAT, "the write format is not valid"),
    VEXA_RESULT(VEXA_E_BAD_DATE, "the date is not valid"),
    VEXA_RESULT(VEXA_E_BAD_TIME, "the time is not valid"),
    VEXA_RESULT(VEXA_E_WIDTH_MISMATCH, "the string variables have different widths"),
    VEXA_RESULT(VEXA_E_NO_FILE_INFO, "there is no system file behind the handle"),
    VEXA_RESULT(VEXA_E_HEADER_COMMITTED, "the header is committed already"),
    VEXA_RESULT(VEXA_E_HEADER_NOT_COMMITTED, "the header is not committed yet"),
    VEXA_RESULT(VEXA_E_NO_RELEASE_INFO, "the file has no release information"),
    VEXA_RESULT(VEXA_E_BAD_DATE_VARIABLES, "the date variables are not valid"),
    VEXA_RESULT(VEXA_E_VALUE_TOO_LONG, "the value is longer than the variable is wide"),
    VEXA_RESULT(VEXA_E_FREE_FAILED, "the arrays could not be released"),
    VEXA_RESULT(VEXA_E_BUFFER_TOO_SHORT, "the buffer is too short"),
    VEXA_RESULT(VEXA_E_NO_CURRENT_CASE, "no case has been read yet"),
    VEXA_RESULT(VEXA_E_CANNOT_APPEND, "cases cannot be added to this file"),
    VEXA_RESULT(VEXA_E_BAD_MEASURE_LEVEL, "the measurement level is not valid"),
    VEXA_RESULT(VEXA_E_BAD_EXTENSION, "the extension subtype is reserved or its data is not valid"),
    VEXA_RESULT(VEXA_E_BAD_VAR_HANDLE, "the variable handle is out of range"),
    VEXA_RESULT(VEXA_E_BAD_ENCODING_MODE, "the interface encoding must be 0 or 1"),
    VEXA_RESULT(VEXA_E_FILES_OPEN, "the setting cannot change while files are open"),
    VEXA_RESULT(VEXA_E_BAD_MULT_RESP, "the multiple-response set is not valid"),
    VEXA_RESULT(VEXA_E_BAD_MULT_RESP_NAME, "a multiple-response set name must begin with \"$\""),
    VEXA_RESULT(VEXA_E_DUPLICATE_MULT_RESP, "a multiple-response set of that name exists already"),
    VEXA_RESULT(VEXA_E_BAD_SUBTYPE, "the extension subtype is outside 0 to 40"),
    VEXA_RESULT(VEXA_E_BAD_ATTRIBUTE_NAME, "the attribute name or subscript is not valid"),
    VEXA_RESULT(VEXA_E_BAD_ATTRIBUTE_ARGS, "the attribute name or value is missing"),
    VEXA_RESULT(VEXA_E_BAD_MULT_RESP_INDEX, "no multiple-response set has that index"),
    VEXA_RESULT(VEXA_E_BAD_VARIABLE_SETS, "the variable sets text is not valid"),
    VEXA_RESULT(VEXA_E_BAD_ROLE, "the role is not valid"),
    VEXA_RESULT(VEXA_E_BAD_PASSWORD, "the password is too long, or it does not open the file"),
    VEXA_RESULT(VEXA_E_NO_PASSWORD, "the file needs a password"),
};

#undef VEXA_RESULT

constexpr const char* kUnknownResult = "unknown: the library has no result code of this number";

const char* FindResultText(int code) {
  for (const ResultText& r : kResultTexts) {
    if (r.code == code) return r.text;
  }
  return nullptr;
}

}  // namespace

const char* DescribeCode(int code) {
  const char* text = FindResultText(code);
  return text != nullptr ? std::strchr(text, ':') + 2 : "the call failed";
}

}  // namespace vexa

extern "C" {

VEXA_API const char* vexaResultText(int code) {
  const char* text = vexa::FindResultText(code);
  return text != nullptr ? text : vexa::kUnknownResult;
}

VEXA_API int vexaGetLibraryVersion(int* major, int* minor, int* patch) {
  if (major != nullptr) *major = VEXA_VERSION_MAJOR;
  if (minor != nullptr) *minor = VEXA_VERSION_MINOR;
  if (patch != nullptr) *patch = VEXA_VERSION_PATCH;
  return VEXA_OK;
}

}  // extern "C"
