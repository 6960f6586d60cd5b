qm_test(loading qm_mainwindow)
