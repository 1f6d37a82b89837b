#include "shell/notice_display.h"

#include "host/messages.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>

namespace infemora {

namespace {

QPointer<QMessageBox> g_errors;
QPointer<QMessageBox> g_info;

QMessageBox* box(QPointer<QMessageBox>& slot, QWidget* parent, QMessageBox::Icon icon, const char* name) {
    if (!slot) {
        slot = new QMessageBox(icon, QStringLiteral("Infoprotokolle zusammenführen"), QString(), QMessageBox::Ok,
                               parent);
        slot->setObjectName(name);
        slot->setModal(false);
        slot->setWindowModality(Qt::NonModal);
    }
    return slot;
}

} // namespace

void InstallGuiNotices(QWidget* parent) {
    Info().setNoticeSink([parent](const std::string& context, const std::string& message) {
        QMessageBox* b = box(g_errors, parent, QMessageBox::Warning, "msgFehler");
        QString line = QString::fromStdString(context) + ": " + QString::fromStdString(message);
        QString details = b->detailedText();
        b->setText(QStringLiteral("Es ist ein Fehler aufgetreten:\n") + line);
        b->setDetailedText(details.isEmpty() ? line : details + "\n" + line);
        b->show();
    });
    Info().setMeldungSink([parent](int, const std::string& text) {
        QMessageBox* b = box(g_info, parent, QMessageBox::Information, "msgMeldung");
        b->setText(QString::fromStdString(text));
        b->show();
    });
}

void RemoveGuiNotices() {
    Info().setNoticeSink(nullptr);
    Info().setMeldungSink(nullptr);
}

} // namespace infemora
