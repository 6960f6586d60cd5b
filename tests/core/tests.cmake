qm_test(core qm_core)
