# Formats travel as text ("F8.2", "A20", "DATE11"); the library takes them as
# type, decimals and width. The names of the codes of measurement levels,
# alignments and roles.

format_types <- c(A = 1L, AHEX = 2L, COMMA = 3L, DOLLAR = 4L, F = 5L, IB = 6L, PIBHEX = 7L,
                  P = 8L, PIB = 9L, PK = 10L, RB = 11L, RBHEX = 12L, Z = 15L, N = 16L, E = 17L,
                  DATE = 20L, TIME = 21L, DATETIME = 22L, ADATE = 23L, JDATE = 24L,
                  DTIME = 25L, WKDAY = 26L, MONTH = 27L, MOYR = 28L, QYR = 29L, WKYR = 30L,
                  PCT = 31L, DOT = 32L, CCA = 33L, CCB = 34L, CCC = 35L, CCD = 36L, CCE = 37L,
                  EDATE = 38L, SDATE = 39L, MTIME = 85L, YMDHMS = 86L)
shows_decimals <- c("COMMA", "DOLLAR", "F", "Z", "N", "E", "PCT", "DOT", "CCA", "CCB", "CCC",
                    "CCD", "CCE")

# How the values of each format type arrive in R (the C side's kinds).
kind_number <- 0L
kind_string <- 1L
kind_date <- 2L
kind_datetime <- 3L
kind_time <- 4L
date_types <- format_types[c("DATE", "ADATE", "JDATE", "MOYR", "QYR", "WKYR", "EDATE", "SDATE")]
datetime_types <- format_types[c("DATETIME", "YMDHMS")]
time_types <- format_types[c("TIME", "DTIME", "MTIME")]

measures <- c("unknown", "nominal", "ordinal", "scale", "flag", "typeless")
alignments <- c("left", "right", "center")
roles <- c("input", "target", "both", "none", "partition", "split", "frequency", "record-id")

kind_of_type <- function(type, width) {
  ifelse(width > 0, kind_string,
         ifelse(type %in% date_types, kind_date,
                ifelse(type %in% datetime_types, kind_datetime,
                       ifelse(type %in% time_types, kind_time, kind_number))))
}

format_text <- function(type, dec, width) {
  name <- names(format_types)[match(type, format_types)]
  ifelse(is.na(name), sprintf("T%d_%d.%d", type, width, dec),
         ifelse(name %in% shows_decimals | dec > 0, sprintf("%s%d.%d", name, width, dec),
                sprintf("%s%d", name, width)))
}

# c(type, decimals, width) of a format text, or NULL when it is none.
parse_format <- function(text) {
  if (!is.character(text) || length(text) != 1 || is.na(text)) return(NULL)
  m <- regmatches(text, regexec("^\\s*([A-Za-z]+)([0-9]+)(?:\\.([0-9]+))?\\s*$", text))[[1]]
  if (length(m) == 0) {
    m <- regmatches(text, regexec("^T([0-9]+)_([0-9]+)(?:\\.([0-9]+))?$", text))[[1]]
    if (length(m) == 0) return(NULL)
    return(c(as.integer(m[2]), if (nzchar(m[4])) as.integer(m[4]) else 0L, as.integer(m[3])))
  }
  type <- format_types[toupper(m[2])]
  if (is.na(type)) return(NULL)
  c(unname(type), if (nzchar(m[4])) as.integer(m[4]) else 0L, as.integer(m[3]))
}

# Values of a date, date-time or time variable in R's units, and back.
to_r_units <- function(x, kind) {
  switch(as.character(kind), "2" = (x - 12219379200) / 86400, "3" = x - 12219379200, x)
}
from_r_units <- function(x, kind) {
  switch(as.character(kind), "2" = x * 86400 + 12219379200, "3" = x + 12219379200, x)
}
