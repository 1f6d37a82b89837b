#include "textview/view_follower.h"

#include "host/fileutil.h"
#include "host/messages.h"
#include "textview/log_text_view.h"

#include <limits>

namespace infemora {

ViewFollower::ViewFollower(LogTextView* view) : QObject(view), view_(view) {
    timer_.setInterval(kIntervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
}

ViewFollower::~ViewFollower() = default;

void ViewFollower::followFile(const std::string& path) {
    stop();
    if (path.empty())
        return;
    path_ = path;
    // A view holding its file reads on from what it indexed; one decoded into memory from the
    // file's size now.
    const LogDocument& doc = view_->document();
    const std::uint64_t offset = doc.isFileBacked()
                                     ? doc.byteSize()
                                     : static_cast<std::uint64_t>(std::max<std::int64_t>(0, FileSize(path)));
    file_ = std::make_unique<AnhangLeser>(path, offset);
    timer_.start();
}

void ViewFollower::followLogs(const std::vector<std::string>& files, bool dateFilter, TDateTime von,
                              TDateTime bis) {
    stop();
    logs_ = std::make_unique<InfoFolger>(files);
    logs_->SetDatumsFilter(dateFilter, von, bis);
    // The newest stamp shown is taken at the first look: the entries of a large text may still be
    // read in the background now.
    newestKnown_ = false;
    timer_.start();
}

void ViewFollower::stop() {
    timer_.stop();
    file_.reset();
    logs_.reset();
}

void ViewFollower::poll() {
    try {
        if (logs_) {
            if (!newestKnown_) {
                const EntryIndex& entries = view_->waitForEntries();
                newest_ = entries.count() > 0 ? entries.key(entries.count() - 1)
                                              : std::numeric_limits<std::int64_t>::min();
                newestKnown_ = true;
            }
            InfoFolger::Anhang a = logs_->Lesen(newest_);
            newest_ = a.neuester;
            view_->appendText(a.bytes);
            if (a.ersetzt)
                emit note(QStringLiteral(
                    "Eine Protokolldatei wurde ersetzt oder gekürzt und wird von vorn gelesen."));
            if (a.aelter)
                emit note(QStringLiteral(
                    "Ein neuer Eintrag ist älter als der zuletzt angezeigte und steht am Ende; "
                    "erneutes Zusammenführen ordnet ihn ein."));
            return;
        }
        if (!file_)
            return;
        std::string bytes;
        switch (file_->Lesen(bytes)) {
        case AnhangLeser::Ergebnis::Gewachsen:
            view_->appendText(bytes);
            break;
        case AnhangLeser::Ergebnis::Ersetzt: {
            const bool atEnd = view_->showsLastLine();
            view_->loadFile(path_);
            if (atEnd)
                view_->moveCaretToEnd();
            file_ = std::make_unique<AnhangLeser>(path_, view_->document().byteSize());
            emit note(QStringLiteral("Die Datei wurde ersetzt oder gekürzt und neu geladen."));
            break;
        }
        case AnhangLeser::Ergebnis::Unveraendert:
        case AnhangLeser::Ergebnis::Fehlt:
            break;
        }
    } catch (...) {
        RegisterCurrentException("ViewFollower.poll");
    }
}

} // namespace infemora
