qm_test(core CORE qm_core)
