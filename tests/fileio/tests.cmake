qm_test(fileio qm_fileio)
