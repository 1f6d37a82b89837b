#pragma once
// Turns SIGTERM and SIGINT (which `infemora-cli terminate` sends) into the application message
// "WM_APP_TERMINATE", delivered through the event loop, also while a long action lets window
// messages run.
#include <QEvent>
#include <QObject>

class QSocketNotifier;

namespace infemora {

class TerminateListener : public QObject {
    Q_OBJECT
public:
    explicit TerminateListener(QEvent::Type messageType, QObject* parent = nullptr);
    ~TerminateListener() override;

    // The id of the registered message, the same for every window of the process.
    static QEvent::Type RegisterTerminateMessage();

private:
    void onSignal();
    QSocketNotifier* notifier_ = nullptr;
    QEvent::Type type_;
};

} // namespace infemora
