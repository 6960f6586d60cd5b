#pragma once

// What a tool dialog reads of the process: default settings and the default column list with
// every column shown, over a private data folder; the previous ones come back afterwards.

#include "core/globals.h"
#include "core/gridcolumns.h"
#include "core/settings.h"
#include "core/startuptables.h"
#include "tests/support/testdir.h"

struct ScopedToolProcess {
    ScopedStorage storage;
    Settings settings;
    GridColumns columns;

    ScopedToolProcess() {
        settings.LoadDefaultSettings();
        AppSettings = &settings;
        modMasterLayout::AddDefaultGridColumns(columns);
        AppGridColumns = &columns;
        arrColumnVisibility = QString("1,1,1,1,1,1,1,1").split(',');
    }
    ~ScopedToolProcess() {
        AppSettings = m_oldSettings;
        AppGridColumns = m_oldColumns;
        arrColumnVisibility = m_oldVisibility;
    }

private:
    Settings* m_oldSettings = AppSettings;
    GridColumns* m_oldColumns = AppGridColumns;
    QStringList m_oldVisibility = arrColumnVisibility;
};
