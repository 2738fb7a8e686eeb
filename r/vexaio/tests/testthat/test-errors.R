# Refusals and failures: each a vexaio_error with its code, file failures
# with the system's reason, and none leaving a handle open or a file changed.

sample_frame <- function() data.frame(x = c(1, 2, 3), s = c("a", "b", "c"))

test_that("failures are conditions with their codes; refusals come before any file is touched", {
  dir <- withr::local_tempdir()
  good <- file.path(dir, "good.vexa")
  write_vexa(sample_frame(), good)
  before <- readBin(good, "raw", 1e5)
  junk <- file.path(dir, "junk.vexa")
  writeLines("not a system file", junk)
  cases <- list(
    list(function() read_vexa(file.path(dir, "absent.vexa")), 1L, "vexaio_file_error", "No such file"),
    list(function() read_vexa(junk), 1L, "vexaio_error", ""),
    list(function() vexa_dictionary(dir), 1L, "vexaio_file_error", ""),
    list(function() write_vexa(sample_frame(), file.path(dir, "no", "such.vexa")), 1L,
         "vexaio_file_error", "No such file"),
    list(function() write_vexa(sample_frame(), good, password = "eleven chars"), 80L, "vexaio_error", "")
  )
  for (i in seq_along(cases)) {
    case <- cases[[i]]
    e <- tryCatch(case[[1]](), error = identity)
    expect_s3_class(e, case[[3]])
    expect_identical(e$code, case[[2]], info = i)
    expect_match(e$reason, case[[4]], info = i)
  }
  refused <- list(
    function() read_vexa(c(good, good)), function() read_vexa(good, password = 1),
    function() read_vexa(good, col_select = 3), function() read_vexa(good, col_select = c("s", "nope")),
    function() read_vexa(good, skip = -1), function() read_vexa_chunked(good, identity, chunk_size = 0),
    function() write_vexa(list(x = 1), good), function() write_vexa(data.frame(), good),
    function() write_vexa(data.frame(x = I(list(1, 2))), good),
    function() write_vexa(data.frame(x = structure(1, vexa_missing = list(values = 1:4))), good),
    function() write_vexa(data.frame(s = structure("a", vexa_missing = list(range = c(1, 2)))), good),
    function() write_vexa(data.frame(s = c("a", strrep("b", 32768))), good))
  for (i in seq_along(refused)) {
    e <- tryCatch(refused[[i]](), error = identity)
    expect_s3_class(e, "vexaio_error")
    expect_identical(e$code, NA_integer_, info = i)
  }
  # A text too long names its column and row.
  expect_match(conditionMessage(e), "s in row 2")
  expect_identical(readBin(good, "raw", 1e5), before)
})

test_that("a write that fails after opening leaves the old file as it was", {
  path <- temp_vexa()
  write_vexa(sample_frame(), path)
  before <- readBin(path, "raw", file.size(path))
  bad <- data.frame(x = 1:5)
  attr(bad$x, "vexa_missing") <- list(range = c(9, 1))
  e <- tryCatch(write_vexa(bad, path), error = identity)
  expect_s3_class(e, "vexaio_error")
  expect_identical(e$name, "VEXA_E_BAD_MISSING_VALUES")
  expect_identical(readBin(path, "raw", file.size(path) + 1), before)
})

test_that("leaving a read or a write early closes the handle", {
  path <- temp_vexa()
  write_vexa(sample_frame(), path)
  # More early exits than the library has handle slots.
  for (i in 1:110) {
    expect_error(read_vexa_chunked(path, function(chunk) stop("enough"), chunk_size = 1), "enough")
  }
  expect_equal(nrow(read_vexa(path)), 3)
  expect_equal(nrow(vexa_dictionary(path)), 2)
})

test_that("protected files need their password", {
  path <- temp_vexa()
  write_vexa(sample_frame(), path, password = "s3cret")
  expect_equal(read_vexa(path, password = "s3cret")$s, c("a", "b", "c"), ignore_attr = TRUE)
  expect_equal(vexa_dictionary(path, password = "s3cret")$name, c("x", "s"))
  expect_identical(tryCatch(read_vexa(path), error = identity)$code, 81L)
  expect_identical(tryCatch(read_vexa(path, password = "wrong"), error = identity)$code, 80L)
})

test_that("a damaged file gives an error or fewer cases, never a crash", {
  path <- temp_vexa()
  data <- data.frame(x = seq(0.5, 500, by = 0.5), s = rep(c("abc", "defghijkl"), 500))
  write_vexa(data, path)
  bytes <- readBin(path, "raw", file.size(path))
  cut <- temp_vexa()
  for (keep in c(0, 3, 100, 300, 700, length(bytes) %/% 2, length(bytes) - 9)) {
    writeBin(bytes[seq_len(keep)], cut)
    result <- tryCatch(read_vexa(cut), vexaio_error = function(e) "refused")
    if (!identical(result, "refused")) {
      expect_lt(nrow(result), nrow(data))
      expect_equal(bare(result$x), data$x[seq_len(nrow(result))], info = keep)
    }
  }
  # Bytes changed inside the dictionary.
  for (at in seq(80, 600, by = 37)) {
    damaged <- bytes
    damaged[at] <- as.raw(0xff)
    writeBin(damaged, cut)
    result <- tryCatch(read_vexa(cut), vexaio_error = function(e) "refused")
    expect_true(identical(result, "refused") || is.data.frame(result), info = at)
  }
})
