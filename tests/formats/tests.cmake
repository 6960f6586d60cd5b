qm_test(formats qm_imaging)
