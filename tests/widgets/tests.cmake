qm_test(widgets qm_widgets)
