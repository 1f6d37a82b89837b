// The main window's status line, the word an empty view says, and where the keyboard goes after
// each busy state.
#include "host/messages.h"
#include "shell/notice_display.h"
#include "shell/parallel_window.h"
#include "shell/status_bar.h"
#include "shell/status_texte.h"
#include "shell/view_hint.h"
#include "textview/entry_stamp.h"
#include "textview/log_text_view.h"

#include <QListWidget>
#include <QTabWidget>

namespace infemora {

namespace {

// Items of the file list that name a file; the placeholder of an empty search carries no path.
int gelisteteDateien(const QListWidget* list) {
    int n = 0;
    for (int i = 0; i < list->count(); ++i)
        n += list->item(i)->data(Qt::UserRole).isValid() ? 1 : 0;
    return n;
}

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

void TfrmParallel::AnsichtFokussieren() {
    if (!isEnabled())
        return;
    QWidget* ziel = ActiveView();
    if (!ziel)
        ziel = bookingFocusWidget();
    if (!ziel)
        ziel = pgcDateien;
    ziel->setFocus(Qt::OtherFocusReason);
    if (!isVisible())
        return;
    // A notice on top keeps the keyboard; the view has it again when the notice is closed.
    QWidget* notice = VisibleNotice();
    if (notice && notice->parentWidget() && notice->parentWidget()->window() == this) {
        notice->raise();
        notice->activateWindow();
    } else {
        activateWindow();
    }
}

void TfrmParallel::StatusAktualisieren() {
    try {
        QWidget* tab = pgcDateien->currentWidget();
        LogTextView* view = ActiveView();
        if (tab == tshInfoprotokolle) {
            stbStatus->setDateienZeilen(
                text(DateienZeilenText(gelisteteDateien(lbInfodateien), memInfoWork->lineCount())));
            stbStatus->setFilter(text(FilterText(FAnsichtGefiltert, FSelVon, FSelBis)));
        } else if (view) {
            const bool geladen = !view->document().path().empty() || view->lineCount() > 0;
            stbStatus->setDateienZeilen(text(DateienZeilenText(geladen ? 1 : 0, view->lineCount())));
            stbStatus->setFilter({});
        } else {
            const int n = bookingRowCount();
            stbStatus->setDateienZeilen(n == 1 ? QStringLiteral("1 Buchung")
                                               : text(AnzahlText(n)) + QStringLiteral(" Buchungen"));
            stbStatus->setFilter({});
        }
        CursorAnzeigen();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.StatusAktualisieren");
    }
}

void TfrmParallel::CursorAnzeigen() {
    LogTextView* view = ActiveView();
    if (!view || view->lineCount() == 0) {
        stbStatus->setCursorText({});
        return;
    }
    const LogDocument& doc = view->document();
    const std::int64_t zeile = doc.lineColumn(view->cursorPosition()).line;
    stbStatus->setCursorText(text(CursorText(zeile, doc.lineCount(), EintragsStempelBei(doc, zeile))));
}

void TfrmParallel::AnsichtGeladen(bool gefiltert) {
    FAnsichtGefiltert = gefiltert;
    if (gefiltert && memInfoWork->lineCount() == 0) {
        const QString leer = text(KeinEintragImZeitraumText(FSelVon, FSelBis));
        SetViewHint(memInfoWork, leer);
        stbStatus->meldung(leer);
    } else {
        SetViewHint(memInfoWork, {});
    }
    StatusAktualisieren();
}

} // namespace infemora
