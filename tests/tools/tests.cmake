qm_test(tools qm_tools)
