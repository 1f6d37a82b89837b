// Search, print and save on the view of the active tab.
#include "host/codec1252.h"
#include "host/directories.h"
#include "host/messages.h"
#include "host/user_state.h"
#include "shell/dialog_folders.h"
#include "shell/hourglass.h"
#include "shell/parallel_window.h"
#include "shell/status_bar.h"
#include "shell/status_texte.h"
#include "textview/document_save.h"
#include "textview/hit_position.h"
#include "textview/log_text_view.h"
#include "textview/print_lines.h"
#include "textview/print_range.h"
#include "textview/suchen_dialog.h"
#include "textview/text_search.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace infemora {

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

// Runs one search on the active view under the hourglass: a hit is selected, focused and shown
// in the middle of the view; no hit beeps, and the status line says what was not found. Without
// a search text or a view nothing happens.
template <typename Search>
void searchActiveView(LogTextView* view, const std::string& needle, TStatusZeile* status, Search search) {
    if (needle.empty() || !view)
        return;
    std::int64_t hit;
    {
        Hourglass wait;
        hit = search(view->document(), needle, view);
    }
    if (hit < 0) {
        QApplication::beep();
        status->meldung(QString::fromStdString(NichtGefundenText(Win1252ToUtf8(needle))));
        return;
    }
    view->setFocus();
    view->setSelection(hit, static_cast<std::int64_t>(needle.size()));
    const std::int64_t zeile = view->document().lineColumn(hit).line;
    view->verticalScrollBar()->setValue(static_cast<int>(std::min<std::int64_t>(
        INT_MAX, ObersteZeileFuerTreffer(zeile, view->firstVisibleLine(), view->visibleRowCount(),
                                         view->lineCount()))));
}

} // namespace

void TfrmParallel::Weitersuchen1Click() {
    try {
        searchActiveView(ActiveView(), FSelSuche, stbStatus,
                         [](const LogDocument& doc, const std::string& n, LogTextView* v) {
                             return SucheVorwaerts(doc, n, v->selectionStart() + v->selectionLength());
                         });
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Weitersuchen1Click");
    }
}

void TfrmParallel::Weitersuchenrckwrts1Click() {
    try {
        searchActiveView(ActiveView(), FSelSuche, stbStatus,
                         [](const LogDocument& doc, const std::string& n, LogTextView* v) {
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
            // Not the log directory, which a file dialog would offer as the current directory.
            dialog.setDirectory(DialogOrdner(UserState::Instance(), kOrdnerSpeichern, DokumenteOrdner()));
            if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
                chosen = dialog.selectedFiles().first();
                DialogOrdnerMerken(UserState::Instance(), kOrdnerSpeichern, chosen);
            }
        }
        if (chosen.isEmpty())
            return;
        const std::string ziel = MitTxtEndung(chosen.toStdString());
        const std::string grund = SpeicherzielAbgelehnt(ziel, GetDirWwsByName("INFOPROT", "", true));
        if (!grund.empty()) {
            auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Speichern unter"),
                                        QString::fromStdString(grund), QMessageBox::Ok, this);
            box->setObjectName("msgSpeichernAbgelehnt");
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
            return;
        }
        SaveDocumentLines(view->document(), ziel);
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
        // The file the last job was printed to, when it went to a file.
        UserState& state = UserState::Instance();
        const std::string letzteDatei = state.Value("Drucken", "Ausgabedatei");
        if (!letzteDatei.empty())
            printer.setOutputFileName(QString::fromStdString(letzteDatei));
        bool selectionOnly = false;
        if (choosePrinter) {
            if (!choosePrinter(printer, selectionOnly))
                return;
        } else {
            QPrintDialog dialog(&printer, this);
            dialog.setOption(QAbstractPrintDialog::PrintSelection, true);
            dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
            const std::int64_t jeSeite = ZeilenJeSeite(printer);
            const std::int64_t seiten =
                std::max<std::int64_t>(1, (view->lineCount() + jeSeite - 1) / jeSeite);
            dialog.setMinMax(1, static_cast<int>(std::min<std::int64_t>(INT_MAX, seiten)));
            if (dialog.exec() != QDialog::Accepted)
                return;
            selectionOnly = printer.printRange() == QPrinter::Selection;
            state.SetValue("Drucken", "Ausgabedatei", printer.outputFileName().toStdString());
            state.Save();
        }
        // Counted first: the question comes before a single line is decoded.
        DruckZeilen zeilen = selectionOnly ? DruckZeilen::Auswahl(view->document(), view->selectionStart(),
                                                                  view->selectionLength())
                                           : DruckZeilen::Alle(view->document());
        if (printer.printRange() == QPrinter::PageRange)
            zeilen.Seiten(ZeilenJeSeite(printer), printer.fromPage(), printer.toPage());
        if (zeilen.anzahl() > 80) {
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
        PrintTextLines(printer, zeilen.anzahl(),
                       [&zeilen](std::int64_t i) { return LogTextView::decode(zeilen.zeile(i)); });
    } catch (...) {
        RegisterCurrentException("TfrmParallel.Drucken1Click");
    }
}

} // namespace infemora
