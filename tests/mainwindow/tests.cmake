qm_test(mainwindow qm_mainwindow)
