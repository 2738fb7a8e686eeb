library(testthat)
library(vexaio)
test_check("vexaio")
