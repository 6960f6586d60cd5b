qm_test(ui qm_ui)
