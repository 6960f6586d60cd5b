qm_test(search CORE qm_search)
