# Selections, skips and chunks give what the same rows of a whole read give
# (seeks in every form of file are the library's tests').

test_that("selections and chunks equal slices of a whole read", {
  n <- 2500
  data <- data.frame(i = seq_len(n), s = sprintf("row %04d", seq_len(n)),
                     d = as.Date("2000-01-01") + seq_len(n), w = rep(c("a", "bb", NA), length.out = n))
  path <- temp_vexa()
  write_vexa(data, path, compress = "zlib")
  whole <- read_vexa(path)
  cases <- list(list(NULL, 0, Inf), list(c("w", "i"), 0, 10), list("s", 1234, Inf),
                list(c("d", "s"), n - 1, 5), list(NULL, n, Inf), list(3:1, 7, 0), list("i", 0, 2499))
  for (case in cases) {
    part <- read_vexa(path, col_select = case[[1]], skip = case[[2]], n_max = case[[3]])
    cols <- if (is.null(case[[1]])) names(data) else names(data)[if (is.numeric(case[[1]])) case[[1]] else match(case[[1]], names(data))]
    rows <- case[[2]] + seq_len(min(n - case[[2]], case[[3]]))
    expected <- whole[rows, cols, drop = FALSE]
    expect_equal(lapply(part, bare), lapply(expected, bare), info = deparse(case))
    expect_equal(attr(part[[1]], "vexa_format"), attr(whole[[cols[1]]], "vexa_format"))
  }
  for (size in c(1, 999, n, n + 1)) {
    chunks <- list()
    total <- read_vexa_chunked(path, function(chunk, pos) chunks[[length(chunks) + 1]] <<- list(chunk, pos),
                               chunk_size = size, col_select = c("s", "d"))
    expect_equal(total, n)
    expect_equal(vapply(chunks, `[[`, 0, 2), seq(1, n, by = size))
    joined <- do.call(rbind, lapply(chunks, `[[`, 1))
    expect_equal(lapply(joined, bare), lapply(whole[c("s", "d")], bare), info = size)
  }
})
