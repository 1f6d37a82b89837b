#pragma once
// "Ende folgen" for one log view: while on, a timer looks every half second for what was
// appended to the view's file (or, for the merged view, to the info logs behind it) and adds it
// at the end of the view. A file that was replaced or cut is loaded anew; in the merged view such
// a log is read from its start, and no merge is run again: following never consolidates.
#ifndef Q_MOC_RUN
#include "textview/log_follow.h"
#endif

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace infemora {

class LogTextView;

class ViewFollower : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 500;

    explicit ViewFollower(LogTextView* view);
    ~ViewFollower() override;

    // The file the view shows, from where the view's text ends.
    void followFile(const std::string& path);
    // The info logs merged into the view, each from its size now; entries must pass the date
    // filter when it is on.
    void followLogs(const std::vector<std::string>& files, bool dateFilter, TDateTime von, TDateTime bis);
    void stop();
    bool isFollowing() const { return timer_.isActive(); }

    // One look now; the timer calls it.
    void poll();

signals:
    // A note for the status bar.
    void note(const QString& text);

private:
    LogTextView* view_;
    QTimer timer_;
    std::string path_;
    std::unique_ptr<AnhangLeser> file_;
    std::unique_ptr<InfoFolger> logs_;
    std::int64_t newest_ = 0;
    bool newestKnown_ = false;
};

} // namespace infemora
