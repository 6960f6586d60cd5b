qm_test(search qm_mainwindow)
