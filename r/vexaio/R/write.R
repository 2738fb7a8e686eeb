# Writing a data frame as a new file: a variable per column, its dictionary
# entry from the column's attributes (as read_vexa sets them) where they fit
# the column, else from the column's values.

package_attributes <- c("label", "labels", "vexa_missing", "vexa_format", "vexa_write_format",
                        "vexa_measure", "vexa_alignment", "vexa_display_width", "vexa_role",
                        "vexa_attributes")

# A format that fits a column of the kind, from an attribute, or NULL.
fitting_format <- function(text, kind, is_string) {
  f <- parse_format(text)
  if (is.null(f) || (f[1] %in% c(1L, 2L)) != is_string) return(NULL)
  if (!is_string && kind_of_type(f[1], 0L) != kind) return(NULL)
  f
}

whole <- function(x) all(x == trunc(x), na.rm = TRUE)

# An F format wide enough for the largest number and its sign: no decimals
# for whole numbers, else two.
number_format <- function(x) {
  r <- suppressWarnings(range(x, na.rm = TRUE, finite = TRUE))
  if (!all(is.finite(r))) return(c(5L, 2L, 8L))
  digits <- nchar(format(floor(max(abs(r))), scientific = FALSE)) + (r[1] < 0)
  if (whole(x)) return(c(5L, 0L, as.integer(min(max(digits, 1), 40))))
  c(5L, 2L, as.integer(min(max(digits + 3, 8), 40)))
}

# The values, kind and default format of a column.
column_values <- function(x, name) {
  if (is.factor(x)) return(list(values = unclass(x), kind = kind_number, format = NULL))
  if (inherits(x, "Date")) {
    return(list(values = unclass(x), kind = kind_date, format = c(20L, 0L, 11L)))
  }
  if (inherits(x, "POSIXct")) {
    tz <- attr(x, "tzone")
    if (is.null(tz) || !tz[1] %in% c("UTC", "GMT", "Etc/UTC")) {
      # The wall-clock time of the column's zone, as a file holds no zone.
      lt <- as.POSIXlt(x)
      x <- as.POSIXct(format(lt, "%Y-%m-%d %H:%M:%OS6"), tz = "UTC")
    }
    v <- as.numeric(x)
    return(list(values = v, kind = kind_datetime,
                format = if (whole(v)) c(22L, 0L, 20L) else c(22L, 2L, 23L)))
  }
  if (inherits(x, "difftime")) {
    v <- as.numeric(x, units = "secs")
    return(list(values = v, kind = kind_time,
                format = if (whole(v)) c(21L, 0L, 8L) else c(21L, 2L, 11L)))
  }
  if (is.logical(x)) return(list(values = x, kind = kind_number, format = c(5L, 0L, 1L)))
  if (is.numeric(x) || is.atomic(x) && is.numeric(unclass(x))) {
    return(list(values = x, kind = kind_number, format = NULL))
  }
  if (is.character(x)) return(list(values = enc2utf8(as.vector(x)), kind = kind_string, format = NULL))
  abort_vexa("column ", name, " of class ", class(x)[1], " cannot be written")
}

# A factor's codes and value labels: its codes 1, 2, ... with the levels as
# labels. A factor with a labels attribute (as as_factor leaves it) instead
# takes levels that are its labels back to their values, levels that are
# numbers as themselves, and others as new codes after the largest value.
factor_values <- function(x, labels) {
  lev <- levels(x)
  if (!is.numeric(labels)) {
    return(list(values = as.double(unclass(x)), labels = stats::setNames(seq_along(lev) + 0, lev)))
  }
  known <- labels
  numbers <- suppressWarnings(as.numeric(lev))
  values <- ifelse(lev %in% names(known), known[match(lev, names(known))], numbers)
  fresh <- is.na(values)
  top <- max(c(0, known, values), na.rm = TRUE)
  values[fresh] <- top + seq_len(sum(fresh))
  out <- values[unclass(x)]
  new <- !lev %in% names(known)
  new_labels <- stats::setNames(values[new], lev[new])
  list(values = out, labels = c(known, new_labels))
}

named_code <- function(value, choices) {
  if (!is.character(value) || length(value) != 1) return(NA_integer_)
  match(value, choices) - 1L
}

missing_entry <- function(m, kind, is_string, name) {
  if (!is.list(m) || (is.null(m[["values"]]) && is.null(m[["range"]]))) return(NULL)
  values <- m[["values"]]
  if (is_string) {
    if (!is.null(m[["range"]]) || length(values) > 3) abort_vexa("the missing values of ", name, " do not fit a string")
    return(as.character(values))
  }
  values <- from_r_units(as.double(values), kind)
  if (is.null(m[["range"]])) {
    if (length(values) > 3) abort_vexa(name, " has more than 3 missing values")
    return(c(length(values), values, rep(0, 3 - length(values))))
  }
  range <- from_r_units(as.double(m[["range"]]), kind)
  if (length(range) != 2 || length(values) > 1) abort_vexa("the missing range of ", name, " does not fit")
  c(if (length(values)) -3 else -2, range, if (length(values)) values else 0)
}

# The dictionary entry and values of one column.
column_entry <- function(x, name, fallback) {
  a <- attributes(x)
  if (!any(package_attributes %in% names(a))) a <- c(a, fallback)
  cv <- column_values(x, name)
  is_string <- cv$kind == kind_string
  labels <- a[["labels"]]
  if (is.factor(x)) {
    fv <- factor_values(x, labels)
    cv$values <- fv$values
    labels <- fv$labels
  }
  width <- 0L
  if (is_string) {
    bytes <- nchar(cv$values, type = "bytes")
    bytes[is.na(cv$values)] <- 0L
    long <- which(bytes > 32767L)
    if (length(long)) {
      abort_vexa("the value of ", name, " in row ", long[1], " is ", bytes[long[1]],
                 " bytes long; a file holds at most 32767")
    }
    declared <- fitting_format(a[["vexa_format"]], cv$kind, TRUE)
    width <- as.integer(max(1L, bytes, if (!is.null(declared)) declared[3]))
    print <- write <- c(1L, 0L, width)
  } else {
    print <- fitting_format(a[["vexa_format"]], cv$kind, FALSE)
    if (is.null(print)) print <- if (is.null(cv$format)) number_format(cv$values) else cv$format
    write <- fitting_format(a[["vexa_write_format"]], cv$kind, FALSE)
    if (is.null(write)) write <- print
  }
  if (!is.null(labels)) {
    label_names <- names(labels)
    labels <- if (is_string) as.character(labels) else from_r_units(as.double(labels), cv$kind)
    labels <- if (is.null(label_names)) NULL else stats::setNames(labels, label_names)[!is.na(labels)]
  }
  measure <- named_code(a[["vexa_measure"]], measures)
  if (is.na(measure)) {
    measure <- if (is.ordered(x)) 2L else if (is.factor(x) || is_string) 1L else 3L
  }
  attrs <- a[["vexa_attributes"]]
  list(values = cv$values, kind = cv$kind, width = width, print = print, write = write,
       label = if (is.character(a[["label"]]) && length(a[["label"]]) == 1) a[["label"]] else NA_character_,
       measure = measure, alignment = named_code(a[["vexa_alignment"]], alignments),
       display_width = if (is.numeric(a[["vexa_display_width"]])) as.integer(a[["vexa_display_width"]][1]) else NA_integer_,
       role = named_code(a[["vexa_role"]], roles), labels = labels,
       missing = missing_entry(a[["vexa_missing"]], cv$kind, is_string, name),
       attributes = if (is.character(attrs) && !is.null(names(attrs))) enc2utf8(attrs))
}

# Names the file can hold: invalid characters become "_", a bad first
# character gets a "V" before it, reserved words an "_" after them, and
# names that repeat (in any letter case) a number.
repair_names <- function(names) {
  codes <- .Call(vx_validate_names, enc2utf8(names))
  fixed <- names
  bad <- codes != 0L
  fixed[bad] <- vapply(which(bad), function(i) repair_one(names[i], i), "")
  low <- tolower(fixed)
  for (i in which(duplicated(low))) {
    k <- 1
    repeat {
      candidate <- paste0(substr(fixed[i], 1, 60), "_", k)
      if (!tolower(candidate) %in% low) break
      k <- k + 1
    }
    fixed[i] <- candidate
    low[i] <- tolower(candidate)
  }
  changed <- fixed != names | is.na(names)
  if (any(changed)) {
    warning(sprintf("vexaio: names the file cannot hold were changed: %s",
                    paste(sprintf("'%s' to '%s'", names[changed], fixed[changed]), collapse = ", ")),
            call. = FALSE)
  }
  fixed
}

repair_one <- function(name, i) {
  x <- if (is.na(name)) "" else gsub("[^[:alnum:]_.@#$]", "_", enc2utf8(name))
  if (!nzchar(x) || grepl("^[0-9_.#$]", x)) x <- paste0("V", x)
  while (nchar(x, "bytes") > 64) x <- substr(x, 1, nchar(x) - 1)
  code <- .Call(vx_validate_names, x)
  if (code == 5L) x <- paste0(x, "_")
  if (.Call(vx_validate_names, x) != 0L) x <- paste0("V", i)
  x
}

one_text <- function(x) if (is.character(x) && length(x) == 1) enc2utf8(x) else NA_character_

write_vexa <- function(data, path, compress = c("bytecode", "zlib", "none"), password = NULL) {
  if (!is.data.frame(data)) abort_vexa("data must be a data frame")
  compress <- match.arg(compress)
  if (!is.character(path) || length(path) != 1 || is.na(path)) abort_vexa("path must be one file name")
  if (ncol(data) == 0) abort_vexa("a file needs at least one column")
  fallback <- attr(data, "vexa_columns")
  names <- repair_names(names(data))
  entries <- lapply(seq_along(data), function(j) {
    column_entry(data[[j]], names[j], if (is.list(fallback)) fallback[[names(data)[j]]])
  })
  field <- function(f, type) vapply(entries, function(s) s[[f]], type)
  fmt <- function(f, k) vapply(entries, function(s) as.integer(s[[f]][k]), 0L)
  vars <- list(name = enc2utf8(names), width = field("width", 0L),
               print_type = fmt("print", 1), print_dec = fmt("print", 2), print_width = fmt("print", 3),
               write_type = fmt("write", 1), write_dec = fmt("write", 2), write_width = fmt("write", 3),
               label = enc2utf8(field("label", "")), measure = field("measure", 0L),
               alignment = field("alignment", 0L), display_width = field("display_width", 0L),
               role = field("role", 0L), value_labels = lapply(entries, `[[`, "labels"),
               missing = lapply(entries, `[[`, "missing"), attributes = lapply(entries, `[[`, "attributes"))
  weight <- one_text(attr(data, "vexa_weight"))
  if (!is.na(weight) && !(weight %in% names && vars$width[match(weight, names)] == 0L)) weight <- NA_character_
  docs <- attr(data, "vexa_documents")
  file_attrs <- attr(data, "vexa_attributes")
  file <- list(file_label = one_text(attr(data, "vexa_file_label")),
               documents = if (is.character(docs)) enc2utf8(docs) else character(0),
               attributes = if (is.character(file_attrs) && !is.null(names(file_attrs))) enc2utf8(file_attrs),
               mrsets = one_text(attr(data, "vexa_mrsets")),
               varsets = one_text(attr(data, "vexa_varsets")), weight = weight,
               compression = match(compress, c("none", "bytecode", "zlib")) - 1L)
  if (!is.null(password) && (!is.character(password) || length(password) != 1 || is.na(password)))
    abort_vexa("password must be one text or NULL")
  columns <- stats::setNames(lapply(entries, `[[`, "values"), names)
  h <- .Call(vx_open_write, enc2utf8(path.expand(path)), if (!is.null(password)) enc2utf8(password))
  on.exit(.Call(vx_abandon, h))
  .Call(vx_define, h, vars, file)
  .Call(vx_write_cases, h, columns, vapply(entries, `[[`, 0L, "kind"), vars$width)
  .Call(vx_close, h)
  invisible(data)
}
