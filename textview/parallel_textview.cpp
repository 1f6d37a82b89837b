// Search, print and save on the view of the active tab.
#include "host/codec1252.h"
#include "host/messages.h"
#include "shell/parallel_window.h"
#include "textview/document_save.h"
#include "textview/log_text_view.h"
#include "textview/print_lines.h"
#include "textview/suchen_dialog.h"
#include "textview/text_search.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace infemora {

namespace {

// Puts the previous cursor back on every path.
class Hourglass {
public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

} // namespace

void TfrmParallel::Suchen1Click() {
    try {
        bool ok = askSearchText ? askSearchText() : (frmSuchen && frmSuchen->exec() == QDialog::Accepted);
        if (!ok)
            return;
        FSelSuche = SuchtextNormalisieren(Utf8ToWin1252(frmSuchen->edtSuchen->text().toStdString()));
        Weitersuchen1Click();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Suchen1Click");
    }
}

namespace {

// Runs one search on the active view under the hourglass: a hit is selected and focused, no hit
// beeps. Without a search text or a view nothing happens.
template <typename Search>
void searchActiveView(LogTextView* view, const std::string& needle, Search search) {
    if (needle.empty() || !view)
        return;
    std::int64_t hit;
    {
        Hourglass wait;
        hit = search(view->document(), needle, view);
    }
    if (hit < 0) {
        QApplication::beep();
        return;
    }
    view->setFocus();
    view->setSelection(hit, static_cast<std::int64_t>(needle.size()));
}

} // namespace

void TfrmParallel::Weitersuchen1Click() {
    try {
        searchActiveView(ActiveView(), FSelSuche, [](const LogDocument& doc, const std::string& n, LogTextView* v) {
            return SucheVorwaerts(doc, n, v->selectionStart() + v->selectionLength());
        });
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Weitersuchen1Click");
    }
}

void TfrmParallel::Weitersuchenrckwrts1Click() {
    try {
        searchActiveView(ActiveView(), FSelSuche, [](const LogDocument& doc, const std::string& n, LogTextView* v) {
            return SucheRueckwaerts(doc, n, v->selectionStart());
        });
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Weitersuchenrckwrts1Click");
    }
}

void TfrmParallel::Speichern1Click() {
    try {
        LogTextView* view = ActiveView();
        if (!view)
            return;
        QString chosen;
        if (pickSaveFile) {
            chosen = pickSaveFile();
        } else {
            QFileDialog dialog(this, QStringLiteral("Speichern in Datei: "));
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
            dialog.setNameFilters(
                {QStringLiteral("Textdateien (*.txt)"), QStringLiteral("Alle Dateien (*)")});
            dialog.selectNameFilter(QStringLiteral("Textdateien (*.txt)"));
            if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
                chosen = dialog.selectedFiles().first();
        }
        if (chosen.isEmpty())
            return;
        SaveDocumentLines(view->document(), MitTxtEndung(chosen.toStdString()));
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Speichern1Click");
    }
}

void TfrmParallel::Drucken1Click() {
    try {
        LogTextView* view = ActiveView();
        if (!view)
            return;
        QPrinter printer;
        bool selectionOnly = false;
        if (choosePrinter) {
            if (!choosePrinter(printer, selectionOnly))
                return;
        } else {
            QPrintDialog dialog(&printer, this);
            dialog.setOption(QAbstractPrintDialog::PrintSelection, true);
            dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
            if (dialog.exec() != QDialog::Accepted)
                return;
            selectionOnly = printer.printRange() == QPrinter::Selection;
        }
        QStringList lines;
        if (selectionOnly) {
            std::string selected = view->selectedText();
            for (const auto& l : SplitLines(selected))
                lines << LogTextView::decode(l);
        } else {
            for (std::int64_t i = 0; i < view->lineCount(); ++i)
                lines << LogTextView::decode(view->line(i));
        }
        if (lines.size() > 80) {
            bool yes =
                askPrintManyLines
                    ? askPrintManyLines()
                    : QMessageBox::question(this, QStringLiteral("Warnhinweis"),
                                            QStringLiteral("Die Datei enthält mehr als 80 Zeilen. Möchte Sie "
                                                           "die Datei wirklich ausdrucken?"),
                                            QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
            if (!yes)
                return;
        }
        PrintTextLines(printer, lines);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Drucken1Click");
    }
}

} // namespace infemora
