# R's ToothGrowth sorted by supplement and dose, and two subsets of it chosen
# by R (one of them empty), for the WHERE= tests in where_test.cpp: the same program on the whole
# file with WHERE= and on R's subset must give the same tables.
# Run from tests/program: Rscript where.R
tg <- ToothGrowth[order(ToothGrowth$supp, ToothGrowth$dose), c("len", "supp", "dose")]
save <- function(d, name) write.csv(d, file.path("data", name), row.names = FALSE, quote = FALSE)
save(tg, "toothgrowth.csv")
save(subset(tg, dose %in% c(0.5, 2) & supp == "VC"), "toothgrowth_vc.csv")
save(subset(tg, dose != 1), "toothgrowth_no1.csv")
save(subset(tg, dose > 5), "toothgrowth_none.csv")
