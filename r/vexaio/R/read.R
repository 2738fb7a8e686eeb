# Reading: the dictionary, whole files, selections and chunks as data frames.

open_read <- function(path, password) {
  if (!is.character(path) || length(path) != 1 || is.na(path)) abort_vexa("path must be one file name")
  if (!is.null(password) && (!is.character(password) || length(password) != 1 || is.na(password)))
    abort_vexa("password must be one text or NULL")
  .Call(vx_open_read, enc2utf8(path.expand(path)), if (!is.null(password)) enc2utf8(password))
}

# The attributes a column of variable i gets, class among them.
column_attributes <- function(vars, i, kind) {
  a <- list()
  if (!is.na(vars$label[i])) a[["label"]] <- vars$label[i]
  labels <- vars$value_labels[[i]]
  if (!is.null(labels)) a[["labels"]] <- if (is.numeric(labels)) to_r_units(labels, kind) else labels
  missing <- vars$missing[[i]]
  if (!is.null(missing)) {
    if (is.character(missing)) {
      a[["vexa_missing"]] <- list(values = missing)
    } else {
      code <- missing[1]
      m <- to_r_units(missing[-1], kind)
      a[["vexa_missing"]] <- if (code > 0) list(values = m[seq_len(code)])
                        else c(if (code == -3) list(values = m[3]), list(range = m[1:2]))
    }
  }
  a[["vexa_format"]] <- format_text(vars$print_type[i], vars$print_dec[i], vars$print_width[i])
  a[["vexa_write_format"]] <- format_text(vars$write_type[i], vars$write_dec[i], vars$write_width[i])
  attrs <- vars$attributes[[i]]
  a[["vexa_measure"]] <- measures[extended(vars$measure[i], attrs[match("$@MeasurementLevel", names(attrs))], 4:5) + 1]
  a[["vexa_alignment"]] <- alignments[vars$alignment[i] + 1]
  a[["vexa_display_width"]] <- vars$display_width[i]
  a[["vexa_role"]] <- roles[extended(vars$role[i], attrs[match("$@ExtendRole", names(attrs))], 6:7) + 1]
  attrs <- attrs[!startsWith(names(attrs) %||% character(0), "$@")]
  if (length(attrs)) a[["vexa_attributes"]] <- attrs
  switch(as.character(kind),
         "2" = c(a, list(class = "Date")),
         "3" = c(a, list(class = c("POSIXct", "POSIXt"), tzone = "UTC")),
         "4" = c(a, list(class = "difftime", units = "secs")),
         a)
}

# Roles 6 and 7 and measurement levels 4 and 5 travel as attributes
# ("$@ExtendRole", "$@MeasurementLevel") beside a role or level the other
# readers know; the attribute gives the code where it is one of those.
extended <- function(code, attribute, codes) {
  value <- suppressWarnings(as.integer(attribute))
  if (length(value) == 1 && !is.na(value) && value %in% codes) value else code
}

# The variables (0-based) of a column selection, in the caller's order.
selected <- function(names, col_select) {
  if (is.null(col_select)) return(seq_along(names) - 1L)
  if (is.numeric(col_select)) {
    bad <- col_select[is.na(col_select) | col_select < 1 | col_select > length(names)]
    if (length(bad)) abort_vexa("no column at position ", bad[1])
    return(as.integer(col_select) - 1L)
  }
  at <- match(col_select, names)
  if (anyNA(at)) abort_vexa("no column named ", col_select[is.na(at)][1])
  at - 1L
}

# Reads the next cases of an open handle (at most `rows`) into a data frame.
read_frame <- function(h, dict, vars, rows, expect, user_na) {
  v <- dict$variables
  kinds <- kind_of_type(v$print_type[vars + 1], v$width[vars + 1])
  attrs <- lapply(seq_along(vars), function(j) column_attributes(v, vars[j] + 1, kinds[j]))
  columns <- .Call(vx_read_cases, h, vars, c(as.double(rows), as.double(expect)),
                   kinds, attrs, isTRUE(user_na))
  names(columns) <- v$name[vars + 1]
  n <- if (length(columns)) length(columns[[1]]) else 0L
  keep <- lapply(attrs, function(a) a[setdiff(names(a), c("class", "tzone", "units"))])
  names(keep) <- names(columns)
  structure(columns, class = "data.frame", row.names = .set_row_names(n),
            vexa_file_label = dict$file_label, vexa_documents = dict$documents,
            vexa_attributes = dict$attributes, vexa_mrsets = dict$mrsets,
            vexa_varsets = dict$varsets, vexa_encoding = dict$encoding,
            vexa_weight = dict$weight, vexa_columns = keep)
}

check_count <- function(x, what, allow_inf = FALSE) {
  if (!is.numeric(x) || length(x) != 1 || is.na(x) || x < 0 || (!allow_inf && is.infinite(x)))
    abort_vexa(what, " must be one number of 0 or more")
  if (is.finite(x) && x > .Machine$integer.max) abort_vexa(what, " is too large")
  x
}

read_vexa <- function(path, col_select = NULL, skip = 0, n_max = Inf, user_na = FALSE,
                      password = NULL) {
  check_count(skip, "skip")
  check_count(n_max, "n_max", allow_inf = TRUE)
  h <- open_read(path, password)
  on.exit(.Call(vx_close, h))
  dict <- .Call(vx_dictionary, h)
  vars <- selected(dict$variables$name, col_select)
  cases <- dict$cases
  if (cases >= 0 && skip >= cases) {
    n_max <- 0
  } else if (skip > 0) {
    .Call(vx_seek, h, as.integer(skip))
  }
  expect <- if (cases >= 0) max(0, cases - skip) else -1
  read_frame(h, dict, vars, floor(n_max), expect, user_na)
}

read_vexa_chunked <- function(path, callback, chunk_size = 10000, col_select = NULL,
                              user_na = FALSE, password = NULL) {
  if (!is.function(callback)) abort_vexa("callback must be a function")
  check_count(chunk_size, "chunk_size")
  if (chunk_size < 1) abort_vexa("chunk_size must be at least 1")
  h <- open_read(path, password)
  on.exit(.Call(vx_close, h))
  dict <- .Call(vx_dictionary, h)
  vars <- selected(dict$variables$name, col_select)
  two <- length(formals(args(callback))) >= 2
  pos <- 1
  repeat {
    chunk <- read_frame(h, dict, vars, floor(chunk_size), floor(chunk_size), user_na)
    n <- nrow(chunk)
    if (n == 0) break
    if (two) callback(chunk, pos) else callback(chunk)
    pos <- pos + n
    if (n < chunk_size) break
  }
  invisible(pos - 1)
}

missing_text <- function(m) {
  if (is.null(m)) return("")
  parts <- c(if (!is.null(m[["range"]])) paste(format(m[["range"]][1]), "thru", format(m[["range"]][2])),
             if (!is.null(m[["values"]])) if (is.character(m[["values"]])) encodeString(m[["values"]], quote = "\"")
                                     else format(m[["values"]]))
  paste(parts, collapse = ", ")
}

vexa_dictionary <- function(path, password = NULL) {
  h <- open_read(path, password)
  on.exit(.Call(vx_close, h))
  dict <- .Call(vx_dictionary, h)
  v <- dict$variables
  kinds <- kind_of_type(v$print_type, v$width)
  a <- lapply(seq_along(v$name), function(i) column_attributes(v, i, kinds[i]))
  field <- function(name) vapply(a, `[[`, "", name)
  data.frame(
    name = v$name, type = ifelse(v$width > 0, "string", "numeric"), width = v$width,
    print_format = field("vexa_format"), write_format = field("vexa_write_format"),
    label = v$label, measure = field("vexa_measure"), role = field("vexa_role"),
    alignment = field("vexa_alignment"), display_width = v$display_width,
    value_labels = vapply(v$value_labels, length, 0L),
    missing = vapply(a, function(x) missing_text(x[["vexa_missing"]]), ""),
    stringsAsFactors = FALSE)
}

`%||%` <- function(a, b) if (is.null(a)) b else a
