# A fresh temporary file name, removed when the calling test ends.
temp_vexa <- function(env = parent.frame()) withr::local_tempfile(fileext = ".vexa", .local_envir = env)

# The values of a column without the attributes the package adds.
bare <- function(x) {
  keep <- intersect(names(attributes(x)), c("class", "tzone", "units", "levels", "names"))
  attributes(x) <- attributes(x)[keep]
  x
}
