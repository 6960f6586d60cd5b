qm_test(imaging qm_imaging)
