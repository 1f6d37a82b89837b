#include "shell/progress_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace infemora {

TProgressWindow::TProgressWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("prgDialog");
    setWindowTitle(QStringLiteral("Daten werden gelesen ..."));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(QStringLiteral("Daten werden gelesen ..."), this);
    note_ = new QLabel(this);
    note_->setObjectName("lblHinweis");
    note_->setWordWrap(true);
    note_->hide();
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 0); // an animation until the amount is known
    bar_->setMinimumWidth(320);
    layout->addWidget(label_);
    layout->addWidget(note_);
    layout->addWidget(bar_);
}

void TProgressWindow::setCaption(const QString& caption) {
    setWindowTitle(caption);
    label_->setText(caption);
}

QString TProgressWindow::caption() const {
    return label_->text();
}

void TProgressWindow::setNote(const QString& note) {
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
}

QString TProgressWindow::note() const {
    return note_->text();
}

void TProgressWindow::setProgress(std::int64_t done, std::int64_t total) {
    if (total <= 0) {
        bar_->setRange(0, 0);
        return;
    }
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(std::min<std::int64_t>(1000, done * 1000 / total)));
}

void TProgressWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void TProgressWindow::closeEvent(QCloseEvent* event) {
    if (!closing_)
        event->ignore();
}

void PumpWindowMessages() {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void GuiProgress::Pump() {
    if (clock_.elapsed() < 40)
        return;
    clock_.restart();
    if (window_ && window_->isVisible())
        window_->setProgress(done_, total_);
    PumpWindowMessages();
}

void GuiProgress::Show(const std::string& captionUtf8) {
    if (!window_)
        return;
    if (!captionUtf8.empty())
        window_->setCaption(QString::fromStdString(captionUtf8));
    window_->setProgress(0, 0);
    window_->show();
    window_->raise();
    PumpWindowMessages();
}

void GuiProgress::Close() {
    if (!window_)
        return;
    window_->closing_ = true;
    window_->setNote({});
    window_->hide();
    window_->closing_ = false;
}

void GuiProgress::Note(const std::string& textUtf8) {
    if (!window_)
        return;
    window_->setNote(QString::fromStdString(textUtf8));
    if (!textUtf8.empty() && !window_->isVisible())
        window_->show();
    PumpWindowMessages();
}

void GuiProgress::Step(std::int64_t done, std::int64_t total) {
    done_ = done;
    total_ = total;
}

} // namespace infemora
