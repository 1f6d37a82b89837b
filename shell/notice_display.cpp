#include "shell/notice_display.h"

#include "host/messages.h"
#include "host/system_error_text.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace infemora {

namespace {

const char* const kTitel = "Infoprotokolle zusammenführen";

struct Notice {
    const char* name;
    QMessageBox::Icon icon;
    QPointer<QMessageBox> box;
    QString text, hinweis;
    QStringList details;
    bool geplant = false; // a presentation is queued
};

Notice g_fehler{"msgFehler", QMessageBox::Warning, {}, {}, {}, {}, false};
Notice g_meldung{"msgMeldung", QMessageBox::Information, {}, {}, {}, {}, false};

bool istEigeneNotice(const QWidget* w) {
    return w && (w == g_fehler.box || w == g_meldung.box);
}

// Windows a notice must not belong to: the notices themselves and the progress window, which
// goes away when its work is done.
bool taugtAlsEltern(const QWidget* w) {
    return w && w->isVisible() && !istEigeneNotice(w) && w->objectName() != QLatin1String("prgDialog");
}

QWidget* hauptfenster() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            return w;
    return nullptr;
}

void zeigen(Notice& n) {
    n.geplant = false;
    QWidget* eltern = NoticeParent();
    if (!n.box || n.box->parentWidget() != eltern) {
        if (n.box)
            n.box->deleteLater();
        n.box = new QMessageBox(n.icon, QString::fromUtf8(kTitel), QString(), QMessageBox::Ok, eltern);
        n.box->setObjectName(QLatin1String(n.name));
        n.box->setAttribute(Qt::WA_DeleteOnClose, false);
        // What the notice said goes once it is closed; the next failure starts a new one.
        QObject::connect(n.box, &QMessageBox::finished, n.box, [&n] {
            n.details.clear();
            n.text.clear();
            n.hinweis.clear();
        });
    }
    // Modal to the window it belongs to, without running a loop of its own: the code that
    // registered the failure goes on.
    n.box->setWindowModality(eltern ? Qt::WindowModal : Qt::ApplicationModal);
    n.box->setText(n.text);
    n.box->setInformativeText(n.hinweis);
    n.box->setDetailedText(n.details.join(QLatin1Char('\n')));
    n.box->show();
    n.box->raise();
    n.box->activateWindow();
}

// Shown when control is back in an event loop: at start-up the main window is on the screen
// by then, so that the window manager stacks the notice above it.
void planen(Notice& n) {
    if (n.geplant)
        return;
    n.geplant = true;
    QTimer::singleShot(0, qApp, [&n] { zeigen(n); });
}

} // namespace

QWidget* NoticeParent() {
    QWidget* w = QApplication::activeModalWidget();
    if (!taugtAlsEltern(w))
        w = QApplication::activeWindow();
    while (w && !taugtAlsEltern(w))
        w = w->parentWidget() ? w->parentWidget()->window() : nullptr;
    return w ? w : hauptfenster();
}

QWidget* VisibleNotice() {
    for (const Notice* n : {&g_fehler, &g_meldung})
        if (n->box && n->box->isVisible())
            return n->box;
    return nullptr;
}

void InstallGuiNotices(QWidget*) {
    Info().setNoticeSink([](const std::string& context, const std::string& message) {
        const NoticeTexte t = NoticeFuerMenschen(context, message);
        if (!g_fehler.box || !g_fehler.box->isVisible())
            g_fehler.details.clear();
        g_fehler.text = QString::fromStdString(t.meldung);
        g_fehler.hinweis = QString::fromStdString(t.hinweis);
        g_fehler.details << QString::fromStdString(t.details);
        planen(g_fehler);
    });
    Info().setMeldungSink([](int, const std::string& text) {
        g_meldung.text = QString::fromStdString(text);
        g_meldung.hinweis.clear();
        g_meldung.details.clear();
        planen(g_meldung);
    });
}

void RemoveGuiNotices() {
    Info().setNoticeSink(nullptr);
    Info().setMeldungSink(nullptr);
}

} // namespace infemora
