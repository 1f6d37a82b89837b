#pragma once
// The progress window of long merges: caption, an animation while the amount is unknown,
// real progress once the work reports it, and no abort button. While it is shown, the main
// window takes no input.
#include "host/progress.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;

namespace infemora {

class TProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit TProgressWindow(QWidget* parent = nullptr);
    void setCaption(const QString& caption);
    QString caption() const;
    void setProgress(std::int64_t done, std::int64_t total);
    // A line under the caption; empty shows the caption alone again.
    void setNote(const QString& note);
    QString note() const;

protected:
    void keyPressEvent(QKeyEvent* event) override; // no way to abort
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* label_;
    QLabel* note_;
    QProgressBar* bar_;
    bool closing_ = false;
    friend class GuiProgress;
};

// Lets window messages run at most every few milliseconds: the merge asks once per entry, and
// millions of event-loop passes would cost more than the merge itself.
class GuiProgress : public IProgress {
public:
    explicit GuiProgress(TProgressWindow* window) : window_(window) { clock_.start(); }
    void Pump() override;
    void Show(const std::string& captionUtf8) override;
    void Close() override;
    void Step(std::int64_t done, std::int64_t total) override;
    void Note(const std::string& textUtf8) override;

private:
    TProgressWindow* window_;
    QElapsedTimer clock_;
    std::int64_t done_ = 0, total_ = 0;
};

// Pumps without any window (the shorten run before its progress window is up).
void PumpWindowMessages();

} // namespace infemora
