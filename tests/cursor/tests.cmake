qm_test(cursor qm_cursor)
