qm_test(tools qm_tools qm_tiffpages qm_pageops)
