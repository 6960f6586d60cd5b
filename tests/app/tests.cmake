qm_test(app qm_startup)
