# File-level metadata, values in the units of date columns, and files in a
# code page.

test_that("sets, weight and date labels survive a round trip; sets of a dropped column go", {
  data <- data.frame(a = c(1, 0, 1), b = c(0, 1, 1), w = c(2, 1, 0.5),
                     d = as.Date(c("1960-01-01", "2000-02-29", "1899-12-31")))
  attr(data$d, "labels") <- c(Leap = as.numeric(as.Date("2000-02-29")))
  attr(data$d, "vexa_missing") <- list(values = as.numeric(as.Date("1899-12-31")))
  attr(data, "vexa_mrsets") <- "$both=D1 1 4 Both a b\n"
  attr(data, "vexa_varsets") <- "Pair= a b\n"
  attr(data, "vexa_weight") <- "w"
  path <- temp_vexa()
  write_vexa(data, path)
  back <- read_vexa(path)
  for (a in c("vexa_mrsets", "vexa_varsets", "vexa_weight")) expect_equal(attr(back, a), attr(data, a))
  expect_equal(attr(back$d, "labels"), attr(data$d, "labels"))
  expect_equal(attr(back$d, "vexa_missing"), attr(data$d, "vexa_missing"))
  expect_equal(bare(back$d), as.Date(c("1960-01-01", "2000-02-29", NA)))
  expect_equal(as.character(as_factor(back$d)), c("1960-01-01", "Leap", NA))
  # Without b the sets cannot be held: left out with a warning, the rest written.
  fewer <- temp_vexa()
  back$b <- NULL
  expect_warning(write_vexa(back, fewer), "left out")
  expect_equal(attr(read_vexa(fewer), "vexa_mrsets"), NA_character_)
  expect_equal(attr(read_vexa(fewer), "vexa_weight"), "w")
})

test_that("date-times of another zone are written as their wall-clock time", {
  t <- as.POSIXct("2024-06-01 12:30:00", tz = "America/New_York")
  path <- temp_vexa()
  write_vexa(data.frame(t = t), path)
  expect_equal(format(read_vexa(path)$t), "2024-06-01 12:30:00")
})

test_that("a code-page file arrives in UTF-8", {
  tool <- Sys.getenv("VEXA_TOOL")
  skip_if(tool == "", "VEXA_TOOL names no vexa tool")
  data <- data.frame(s = c("caf\u00e9", "na\u00efve", "\u20ac5"))
  attr(data$s, "label") <- "\u00e9t\u00e9"
  utf8 <- temp_vexa()
  cp <- temp_vexa()
  write_vexa(data, utf8)
  expect_equal(system2(tool, c("convert", utf8, cp, "--encoding", "windows-1252")), 0)
  back <- read_vexa(cp)
  expect_equal(attr(back, "vexa_encoding"), "windows-1252")
  expect_equal(bare(back$s), bare(data$s))
  expect_equal(attr(back$s, "label"), attr(data$s, "label"))
  expect_true(all(Encoding(back$s) %in% c("UTF-8", "unknown")) && all(validUTF8(back$s)))
})
