#include "support/errors.h"

namespace vexa {

SystemFileException::SystemFileException(long number, const char* condition,
                                         const char* source, int line)
    : number_(number), condition_(condition), source_(source), line_(line) {
  what_ = "file error " + std::to_string(number) + " (" + condition + ")";
}

ErrorText::ErrorText(long number)
    : number_(number), text_("Datasource error # " + std::to_string(number)) {}

ErrorText::ErrorText(long number, const std::string& a)
    : number_(number),
      text_("Datasource error # " + std::to_string(number) + " involving " + a) {}

ErrorText::ErrorText(long number, const std::string& a, const std::string& b)
    : number_(number),
      text_("Datasource error # " + std::to_string(number) + " involving " + a +
            " and " + b) {}

ContractViolation::ContractViolation(const char* expression,
                                     const char* source, int line)
    : expression_(expression) {
  what_ = std::string("contract violated: ") + expression + " at " + source +
          ":" + std::to_string(line);
}

void ThrowFileError(long number, const char* condition, const char* source,
                    int line) {
  throw SystemFileException(number, condition, source, line);
}

void ThrowContractViolation(const char* expression, const char* source,
                            int line) {
  throw ContractViolation(expression, source, line);
}

}  // namespace vexa
