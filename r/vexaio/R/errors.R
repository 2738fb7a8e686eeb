# Conditions. A failed library call signals a `vexaio_error` carrying the
# result code, its name and the library's sentence about the failure; a file
# that cannot be opened, read or written signals the subclass
# `vexaio_file_error`, which carries the system's reason as well.

file_codes <- c(1L, 2L, 3L) # VEXA_E_FILE_OPEN, VEXA_E_FILE_WRITE, VEXA_E_FILE_READ

# Called from the C code with the parts of a failed call.
signal_vexa_error <- function(code, text, what, detail, reason) {
  name <- sub(":.*", "", text)
  explanation <- if (nzchar(detail)) detail else sub("^[^:]*: ", "", text)
  message <- sprintf("%s failed with %s (%d): %s", what, name, code, explanation)
  if (nzchar(reason) && !grepl(reason, detail, fixed = TRUE)) message <- paste0(message, " (", reason, ")")
  classes <- c(if (code %in% file_codes) "vexaio_file_error", "vexaio_error", "error", "condition")
  stop(structure(class = classes, list(message = message, call = NULL, code = code, name = name,
                                       detail = detail, reason = reason)))
}

# A refusal of the package's own, before the library is called: a
# `vexaio_error` without a result code.
abort_vexa <- function(...) {
  stop(structure(class = c("vexaio_error", "error", "condition"),
                 list(message = paste0("vexaio: ", ...), call = NULL, code = NA_integer_,
                      name = NA_character_, detail = "", reason = "")))
}
