#pragma once
// The main window's tools for finding one's way through a site's logs: the menu "Ansicht" (go
// to a time, step from error to error, the entry filter, the highlighting and following
// toggles), the timeline above the merged view, a field in the status bar, and what the window
// remembers for the user between runs (geometry, splitter, toggles).
#ifndef Q_MOC_RUN
#include "host/datetime.h"
#include "textview/entry_filter.h"
#include "textview/timeline.h"
#endif

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QAction;
class QLabel;
class QSplitter;

namespace infemora {

class LogTextView;
class TfrmParallel;
class TfrmZeitpunkt;
class TfrmEintragsFilter;
class TimelineStrip;
class ViewFollower;

class ParallelNavigation : public QObject {
    Q_OBJECT
public:
    // Builds its menu, widgets and followers into the window; before the window loads anything.
    explicit ParallelNavigation(TfrmParallel* window);
    ~ParallelNavigation() override;

    void GeheZuZeitpunkt1Click();
    void NaechsterFehler1Click();
    void VorherigerFehler1Click();
    void EintraegeFiltern1Click();
    void EintragsfilterAufheben1Click();
    void FehlerHervorheben1Click();
    void EndeFolgen1Click();

    ViewFollower* follower(LogTextView* view) const;
    // Saves geometry and splitter (the toggles are saved when they change).
    void SaveState();

    // Seams for the tests: the dialogs a user would answer.
    std::function<bool(TDateTime&)> askZeitpunkt;
    std::function<bool(EintragsBedingung&, bool& erweitern)> askEintragsFilter;

    QAction* GeheZuZeitpunkt1 = nullptr;
    QAction* NaechsterFehler1 = nullptr;
    QAction* VorherigerFehler1 = nullptr;
    QAction* EintraegeFiltern1 = nullptr;
    QAction* EintragsfilterAufheben1 = nullptr;
    QAction* FehlerHervorheben1 = nullptr;
    QAction* EndeFolgen1 = nullptr;
    QLabel* lblAnsichtStatus = nullptr;
    TimelineStrip* tlsZeitachse = nullptr;
    TfrmZeitpunkt* frmZeitpunkt = nullptr;
    TfrmEintragsFilter* frmEintragsFilter = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenu();
    void createTimeline();
    void restoreState();
    void viewChanged();
    void textReplaced(LogTextView* view);
    void startFollowing(LogTextView* view);
    void updateTimeline();
    void showStatus(const QString& text);
    bool dateFilterInForce() const;
    static std::string stateKey(const LogTextView* view);

    TfrmParallel* w_;
    QSplitter* splitter_ = nullptr;
    QByteArray teiler_; // the splitter as the user left it, for the first show
    std::map<LogTextView*, ViewFollower*> followers_;
    // The timeline of the last merge without the date filter: a filtered merge shows its span in
    // it.
    Zeitachse ungefiltert_;
    bool ungefiltertDa_ = false;
};

} // namespace infemora
