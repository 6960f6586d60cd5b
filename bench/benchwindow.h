#pragma once

// What the window benchmarks share: a scratch data folder with default settings and the
// process-wide objects built the way start-up builds them (the user's own settings are never
// touched), and a UI seam on which nothing waits for a person.

#include "core/gridcolumns.h"
#include "core/settings.h"
#include "core/uiservices.h"
#include "platform/imaging/pagecount/pagecounter.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

// Messages are printed, every question says no; a modal show is answered by `onShowModal`.
class PrintingUi : public UiServices {
public:
    std::function<int(QObject*)> onShowModal;

    MsgAnswer MsgBox(const QString& text, MsgButtons, MsgIcon, const QString&) override;
    QString BrowseForFolder(QObject*, const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(QObject*, SaveDialogRequest&) override { return {}; }
    bool PrinterDialog(QObject*) override { return false; }
    int ShowModal(QObject* dialog) override { return onShowModal ? onShowModal(dialog) : 0; }
    // Nothing is launched from a benchmark.
    ShellResult ShellExecute(const QString&, const QString&, const QString&, const QString&) override {
        return {};
    }
    bool OpenWith(const QString&) override { return false; }
};

class BenchProcess {
public:
    // `pagesShown` sets whether the grid's "Pages" column is visible (and so counted).
    explicit BenchProcess(bool pagesShown);
    ~BenchProcess();
    bool ok() const { return m_ok; }

    PrintingUi ui;
    Settings settings;
    GridColumns columns;

private:
    QTemporaryDir m_scratch;
    UiServices* m_previousUi = nullptr;
    std::unique_ptr<PageCounter> m_pdf, m_tiff;
    bool m_ok = false;
};
