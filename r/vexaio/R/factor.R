# Labelled columns as factors.

as_factor <- function(x, ...) UseMethod("as_factor")

as_factor.data.frame <- function(x, ...) {
  for (j in seq_along(x)) {
    if (!is.null(attr(x[[j]], "labels", exact = TRUE))) x[[j]] <- as_factor(x[[j]], ...)
  }
  x
}

# Levels: the labels in the order of their values, then the values without a
# label (as text) in their order. Values that share a label share a level.
# The column's attributes stay on the factor, so that write_vexa writes the
# levels back as the values they came from.
as_factor.default <- function(x, ...) {
  labels <- attr(x, "labels", exact = TRUE)
  if (is.null(labels)) return(factor(x))
  values <- if (inherits(x, "difftime")) as.numeric(x, units = "secs") else unclass(x)
  labels <- sort(labels)
  present <- sort(unique(values[!is.na(values)]))
  extras <- present[!present %in% labels]
  keys <- c(unname(labels), extras)
  # Values without a label as the column shows them (a date as a date).
  shown <- x
  attributes(shown) <- attributes(x)[intersect(names(attributes(x)), c("class", "tzone", "units"))]
  extra_texts <- if (is.object(shown)) as.character(shown[match(extras, values)])
                 else if (is.character(extras)) extras
                 else vapply(extras, format, "", digits = 15)
  texts <- c(names(labels), extra_texts)
  f <- factor(texts[match(values, keys)], levels = unique(texts),
              ordered = identical(attr(x, "vexa_measure"), "ordinal"))
  keep <- attributes(x)[intersect(names(attributes(x)), package_attributes)]
  attributes(f) <- c(attributes(f), keep)
  f
}
