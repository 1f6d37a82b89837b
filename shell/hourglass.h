#pragma once
// The hourglass cursor for as long as a scope runs, also when it is left by an exception.
#include <QApplication>

namespace infemora {

class Hourglass {
public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

} // namespace infemora
