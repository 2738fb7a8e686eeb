#!/usr/bin/env Rscript
# Speed and memory of the R package against C. Writes a survey-like file
# (the read benchmark's shape: 200 numerics of small integers with some
# missing and fractional values, 20 strings of 8 bytes; byte-code
# compressed) of about MB megabytes of case data with write_vexa, then
# reports, best of REPEAT runs:
#   read   read_vexa against whole_case_in_timer's "block" mode (every case
#          into one buffer by vexaWholeCasesIn)
#   write  write_vexa of the frame read against whole_case_out_timer
#          (every case, held in memory, by vexaWholeCaseOut)
#   memory the peak resident memory that read_vexa adds, in a fresh R
#          process, against the size of the data frame it returns
# Run from the repository root after building with -DVEXA_BUILD_BENCH=ON
# and installing the package (scripts/r-check builds one):
#   Rscript bench/read_r_bench.R [--lib DIR] [--build build] [--mb 210] [--repeat 3]
args <- commandArgs(trailingOnly = TRUE)
option <- function(name, default) {
  at <- match(paste0("--", name), args)
  if (is.na(at)) default else args[at + 1]
}
lib <- option("lib", NULL)
build <- option("build", "build")
mb <- as.numeric(option("mb", "210"))
repeats <- as.integer(option("repeat", "3"))
library(vexaio, lib.loc = lib)

survey <- function(mb) {
  n <- (mb * 2^20) %/% (220 * 8)
  rows <- 0:(n - 1)
  cols <- list()
  for (j in 0:199) {
    x <- as.double((rows * 7 + j) %% 10 + 1)
    half <- (rows + j) %% 13 == 0
    x[half] <- x[half] + 0.5
    x[(rows + j) %% 17 == 0] <- NA
    cols[[sprintf("q%d", j)]] <- x
  }
  for (i in 0:19) cols[[sprintf("s%d", i)]] <- LETTERS[(rows + i) %% 5 + 1]
  structure(cols, class = "data.frame", row.names = .set_row_names(n))
}

best <- function(f) {
  min(vapply(seq_len(repeats), function(i) {
    gc()
    system.time(f())[["elapsed"]]
  }, 0))
}

timer <- function(program, ...) {
  out <- system2(file.path(build, "bench", program), c(...), stdout = TRUE)
  fields <- strsplit(out, " ")
  stats::setNames(vapply(fields, function(f) as.numeric(f[2]), 0), vapply(fields, `[`, "", 1))
}

dir <- tempfile("vexa-bench")
dir.create(dir)
path <- file.path(dir, "survey.vexa")
write_vexa(survey(mb), path)
frame <- NULL
r_read <- best(function() frame <<- read_vexa(path))
c_read <- timer("whole_case_in_timer", path, repeats)[["block"]]
copy <- file.path(dir, "copy.vexa")
r_write <- best(function() write_vexa(frame, copy))
c_write <- timer("whole_case_out_timer", path, copy, repeats)[["write"]]

# Peak memory in a process of its own: VmHWM before and after the read.
probe <- sprintf(paste0(
  "library(vexaio, lib.loc = %s); hwm <- function() as.numeric(sub('[^0-9]*([0-9]+).*', '\\\\1', ",
  "grep('VmHWM', readLines('/proc/self/status'), value = TRUE))) * 1024; ",
  "before <- hwm(); d <- read_vexa(%s); cat(hwm() - before, as.numeric(object.size(d)))"),
  deparse(lib), deparse(path))
memory <- as.numeric(strsplit(system2(file.path(R.home("bin"), "Rscript"), c("-e", shQuote(probe)),
                                      stdout = TRUE), " ")[[1]])

cat(sprintf("file: %d cases, %.0f MB of case data, %s\n", nrow(frame),
            nrow(frame) * 1760 / 2^20, "byte-code compressed"))
cat(sprintf("load: %s\n", paste(readLines("/proc/loadavg"), collapse = " ")))
cat(sprintf("read   R %.3f s  C %.3f s  speed %.2fx of C\n", r_read, c_read, c_read / r_read))
cat(sprintf("write  R %.3f s  C %.3f s  speed %.2fx of C\n", r_write, c_write, c_write / r_write))
cat(sprintf("memory peak added %.0f MB, data frame %.0f MB: %.2fx\n", memory[1] / 2^20,
            memory[2] / 2^20, memory[1] / memory[2]))
unlink(dir, recursive = TRUE)
