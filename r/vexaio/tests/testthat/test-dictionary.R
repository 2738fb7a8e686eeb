# The dictionary: the names of codes both ways, formats sized to the data,
# and vexa_dictionary agreeing with the attributes read_vexa sets.

test_that("every role, alignment and measurement level comes back by name", {
  roles <- c("input", "target", "both", "none", "partition", "split", "frequency", "record-id")
  alignments <- rep(c("left", "right", "center"), length.out = 8)
  measures <- rep(c("nominal", "ordinal", "scale", "flag", "typeless"), length.out = 8)
  data <- as.data.frame(lapply(1:8, function(i) {
    structure(c(i, i + 0.5), vexa_role = roles[i], vexa_alignment = alignments[i],
              vexa_measure = measures[i], vexa_display_width = 10L + i)
  }), col.names = paste0("v", 1:8))
  path <- temp_vexa()
  write_vexa(data, path)
  back <- read_vexa(path)
  for (a in c("vexa_role", "vexa_alignment", "vexa_measure", "vexa_display_width")) {
    expect_equal(unname(lapply(back, attr, a)), unname(lapply(data, attr, a)), info = a)
  }
  expect_equal(as.list(vexa_dictionary(path)[c("role", "alignment", "display_width", "print_format", "type")]),
               list(role = roles, alignment = alignments, display_width = 11:18,
                    print_format = vapply(back, attr, "", "vexa_format", USE.NAMES = FALSE), type = rep("numeric", 8)))
})

test_that("formats are sized to the data unless a fitting one is given", {
  cases <- list(
    list(c(-12345, 2), "F6.0"), list(c(1.5, NA), "F8.2"), list(c(NA_real_, NA), "F8.2"),
    list(c(123456.25, -1), "F10.2"), list(c(1000L, 1L), "F4.0"), list(c(TRUE, NA), "F1.0"),
    list(structure(c(1, 2), vexa_format = "COMMA12.3"), "COMMA12.3"),
    list(structure(c(1, 2), vexa_format = "DATE11"), "F1.0"),
    list(structure(as.Date("2020-01-01"), vexa_format = "ADATE10"), "ADATE10"),
    list(structure(as.Date("2020-01-01"), vexa_format = "F8.2"), "DATE11"),
    list(as.POSIXct("2020-01-01 10:00:00.25", tz = "UTC"), "DATETIME23.2"),
    list(as.difftime(1.5, units = "secs"), "TIME11.2"),
    list(structure(c("a", "bcd"), vexa_format = "A10"), "A10"),
    list(structure("\u00e9\u00e9\u00e9", vexa_format = "A2"), "A6"))
  data <- as.data.frame(lapply(cases, function(case) rep_len(case[[1]], 2)), col.names = paste0("c", seq_along(cases)))
  for (j in seq_along(data)) attributes(data[[j]]) <- c(attributes(data[[j]]), attributes(cases[[j]][[1]]))
  path <- temp_vexa()
  write_vexa(data, path)
  expect_equal(vexa_dictionary(path)$print_format, vapply(cases, `[[`, "", 2))
})
