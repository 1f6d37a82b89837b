#include "shell/terminate_listener.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace infemora {

namespace {

int g_pipe[2] = {-1, -1};

void onSignalHandler(int) {
    char c = 't';
    ssize_t ignored = ::write(g_pipe[1], &c, 1);
    (void)ignored;
}

} // namespace

QEvent::Type TerminateListener::RegisterTerminateMessage() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TerminateListener::TerminateListener(QEvent::Type messageType, QObject* parent)
    : QObject(parent), type_(messageType) {
    if (g_pipe[0] < 0) {
        if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
    }
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminateListener::onSignal);
    struct sigaction sa {};
    sa.sa_handler = onSignalHandler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

TerminateListener::~TerminateListener() {
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

void TerminateListener::onSignal() {
    char buf[64];
    while (::read(g_pipe[0], buf, sizeof buf) > 0) {
    }
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(type_));
}

} // namespace infemora
