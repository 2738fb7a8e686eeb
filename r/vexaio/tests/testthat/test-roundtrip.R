# What write_vexa writes, read_vexa reads back: every kind of column, with
# NA in each, and the dictionary that the attributes carry.

long <- strrep("\u00e9", 32767 %/% 2)          # 32,766 bytes of two-byte characters
widest <- strrep("x", 32767)

kinds <- list(
  double = list(c(1.5, NA, -3e10, 0), c(1.5, NA, -3e10, 0)),
  integer = list(c(1L, NA, -7L, 2147483647L), c(1, NA, -7, 2147483647)),
  logical = list(c(TRUE, NA, FALSE, TRUE), c(1, NA, 0, 1)),
  text = list(c("a", NA, "\u65e5\u672c\u8a9e", "  lead"), c("a", "", "\u65e5\u672c\u8a9e", "  lead")),
  widest = list(c(widest, "", long, NA), c(widest, "", long, "")),
  date = rep(list(as.Date(c("1582-10-15", NA, "1969-12-31", "9999-12-31"))), 2),
  datetime = rep(list(as.POSIXct(c("1900-01-01 00:00:01", NA, "2262-04-12 23:47:16.5", "1970-01-01"),
                                 tz = "UTC")), 2),
  time = list(as.difftime(c(0.5, NA, 90, 100000), units = "mins"),
              as.difftime(c(30, NA, 5400, 6e6), units = "secs")),
  factor = list(factor(c("lo", NA, "hi", "lo"), levels = c("lo", "hi")), c(1, NA, 2, 1)),
  numbered = list(factor(c(20, 10, NA, 20)), c(2, 1, NA, 2))
)

test_that("every kind of column comes back, in every compression", {
  data <- as.data.frame(lapply(kinds, `[[`, 1), stringsAsFactors = FALSE)
  for (compress in c("bytecode", "zlib", "none")) {
    path <- temp_vexa()
    write_vexa(data, path, compress = compress)
    back <- read_vexa(path)
    expect_identical(names(back), names(kinds))
    for (k in names(kinds)) expect_equal(bare(back[[k]]), kinds[[k]][[2]], info = paste(compress, k))
  }
})

test_that("the dictionary carried by attributes survives a write and a row filter", {
  data <- data.frame(q = c(1, 2, 9, 99, 4), s = c("x", "y", "n/a", "z", "x"),
                     stringsAsFactors = FALSE)
  attributes(data$q) <- list(label = "Question \u00e0 un", labels = c(Yes = 1, No = 2),
                             vexa_missing = list(values = 9, range = c(90, 100)),
                             vexa_format = "F6.1", vexa_measure = "ordinal", vexa_role = "target",
                             vexa_display_width = 12L, vexa_alignment = "center",
                             vexa_attributes = c(Source = "survey"))
  attributes(data$s) <- list(labels = c(Other = "x"), vexa_missing = list(values = "n/a"))
  attr(data, "vexa_file_label") <- "Wave 1"
  attr(data, "vexa_documents") <- c("first line", "second line")
  attr(data, "vexa_attributes") <- c(Origin = "test")
  path <- temp_vexa()
  write_vexa(data, path)
  back <- read_vexa(path)
  expect_equal(bare(back$q), c(1, 2, NA, NA, 4))
  expect_equal(bare(back$s), c("x", "y", NA, "z", "x"))
  expect_equal(bare(read_vexa(path, user_na = TRUE)$q), bare(data$q))
  # Base R's row filter drops column attributes; the frame keeps them.
  for (subset in list(back[back$s != "z" | is.na(back$s), ], vctrs::vec_slice(back, 1:4))) {
    again <- temp_vexa()
    write_vexa(subset, again)
    q <- read_vexa(again)$q
    for (a in setdiff(names(attributes(data$q)), "vexa_attributes"))
      expect_equal(attr(q, a), attr(data$q, a), info = a)
    expect_equal(attr(q, "vexa_attributes")[["Source"]], "survey")
    for (a in c("vexa_file_label", "vexa_documents"))
      expect_equal(attr(read_vexa(again), a), attr(data, a), info = a)
  }
  expect_equal(as.list(vexa_dictionary(path)[c("label", "measure", "value_labels", "missing", "width")]),
               list(label = c("Question \u00e0 un", NA), measure = c("ordinal", "nominal"), value_labels = c(2L, 1L),
                    missing = c("90 thru 100, 9", "\"n/a\""), width = c(0L, 3L)))
})

test_that("factors and labelled columns turn into each other", {
  data <- data.frame(f = factor(c("b", "a", NA, "c"), levels = c("c", "b", "a")),
                     o = factor(c("lo", "hi", "lo", "hi"), levels = c("lo", "hi"), ordered = TRUE))
  path <- temp_vexa()
  write_vexa(data, path)
  back <- read_vexa(path)
  expect_equal(attr(back$f, "labels"), c(c = 1, b = 2, a = 3))
  expect_equal(attr(back$o, "vexa_measure"), "ordinal")
  factors <- as_factor(back)
  expect_equal(bare(factors$f), data$f)
  expect_equal(bare(factors$o), data$o)
  # A value without a label is a level of its own, after the labelled ones.
  x <- structure(c(2, 7, 1, NA), labels = c(One = 1, Two = 2))
  expect_equal(as_factor(x), factor(c("Two", "7", "One", NA), levels = c("One", "Two", "7")),
               ignore_attr = TRUE)
  # Written back, the levels return to the values they came from.
  again <- temp_vexa()
  write_vexa(data.frame(x = as_factor(x)), again)
  expect_equal(bare(read_vexa(again)$x), c(2, 7, 1, NA))
})

test_that("names a file cannot hold are repaired with a warning", {
  data <- data.frame(1, 2, 3, 4, 5)
  names(data) <- c("ok", "with space", "1st", "ALL", "ok")
  path <- temp_vexa()
  expect_warning(write_vexa(data, path), "names the file cannot hold")
  fixed <- names(read_vexa(path))
  expect_equal(fixed[1:4], c("ok", "with_space", "V1st", "ALL_"))
  expect_false(any(duplicated(tolower(fixed))))
})
