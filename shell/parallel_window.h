#pragma once
// TfrmParallel: the one main window. It gathers input from its widgets, calls the core
// routines, and shows their results. Its methods live beside their subsystem: the merge in
// merge/, shortening in archive/, search, print and save in textview/, bookings in booking/.
// moc of this Qt version cannot parse the C++20 library headers behind these.
#ifndef Q_MOC_RUN
#include "host/datetime.h"
#include "shell/command_line.h"
#endif

#include <QEvent>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QPrinter;
class QLabel;
class QListWidget;
class QTabWidget;
class QToolButton;
class QWidget;

namespace infemora {

class LogTextView;
class ParallelNavigation;
class TProgressWindow;
class TStatusZeile;
struct KuerzenErgebnis;
class TerminateListener;
class TfrmSelektion;
class TfrmKuerzen;
class TfrmSuchen;
class TBufferedFileStreams;

class TfrmParallel : public QMainWindow {
    Q_OBJECT
public:
    // Runs the whole creation, the command line included (so the default start merges here).
    explicit TfrmParallel(const std::vector<std::string>& args, QWidget* parent = nullptr);
    ~TfrmParallel() override;

    // Busy: disabled with the hourglass; idle: enabled with the default cursor.
    void SetStatus(bool busy);

    // Menu "Datei"
    void Dateienoeffnen1Click(QObject* sender);
    void AlleDateien1Click(QObject* sender);
    void ZusammenfhrenundKrzen1Click(QObject* sender);
    void Speichern1Click();
    void Drucken1Click();
    void Beenden1Click();
    // Menu "Bearbeiten"
    void Selektion1Click();
    void AlleDatenAnzeigen1Click();
    void AuswertenClick();
    void Suchen1Click();
    void Weitersuchen1Click();
    void Weitersuchenrckwrts1Click();
    void Autofilter1Click();

    void DateienSortieren(bool AFilter);
    void pgcDateienChange();
    void spbOpenFileClick();

    // The view of the active tab; none on the booking tab.
    LogTextView* ActiveView() const;

    // Whether a termination was asked for (by the menu, Esc, the message or an unattended run);
    // it takes effect when control returns to the event loop.
    bool terminateRequested() const { return FTerminateRequested; }
    void RequestTerminate();

    // Seams for the tests: the file pickers and modal questions a user would answer.
    std::function<QStringList()> pickInfoFiles; // "Infoprotokolle öffnen"
    std::function<QString()> pickSingleFile;    // "Ansicht einzelner Datei"
    std::function<QString()> pickSaveFile;      // "Speichern unter"
    std::function<bool()> askPassword;          // "Protokolle auswerten"
    std::function<bool()> askSelektion;         // "Filter Infoprotokolle ..." (Von, Bis are read)
    std::function<bool()> askSearchText;        // "Suchen ..." (the dialog's text is read)
    std::function<bool(QPrinter&, bool& selectionOnly)> choosePrinter; // "Drucken"
    std::function<bool()> askPrintManyLines;        // the question before more than 80 lines
    std::function<bool(const QString&)> askKuerzen; // the question before "Zusammenführen und Kürzen"

    // Fields of the window, public for the tests as the original's published fields are.
    bool FAlleDateien = false;
    TDateTime FSelVon, FSelBis;
    std::string FSelSuche;
    int FKuerzTage = 10;
    // Set while merge and shorten runs: its reloads merge without consolidating.
    bool FNichtKonsolidieren = false;
    // Whether the last merge and shorten folded every log; the unattended start ends with 1
    // otherwise.
    bool FKuerzenVollstaendig = false;
    int exitCode() const { return FExitCode; }
    QEvent::Type FTerminateAppMessage = QEvent::None;

    QTabWidget* pgcDateien = nullptr;
    QWidget* tshInfoprotokolle = nullptr;
    QWidget* tshTransfer = nullptr;
    QWidget* tshMenu = nullptr;
    QWidget* tshAnsicht = nullptr;
    QWidget* tshPkpfFile = nullptr;
    QListWidget* lbInfodateien = nullptr;
    LogTextView* memInfoWork = nullptr;
    LogTextView* memTransfer = nullptr;
    LogTextView* memMenu = nullptr;
    LogTextView* memAnsicht = nullptr;
    QToolButton* spbOpenFile = nullptr;
    QLabel* lblAnsichtDateiName = nullptr;
    TProgressWindow* prgDialog = nullptr;
    TStatusZeile* stbStatus = nullptr;

    QAction* Dateienoeffnen1 = nullptr;
    QAction* AlleDateien1 = nullptr;
    QAction* ZusammenfhrenundKrzen1 = nullptr;
    QAction* Speichern1 = nullptr;
    QAction* Drucken1 = nullptr;
    QAction* Beenden1 = nullptr;
    QAction* Selektion1 = nullptr;
    QAction* AlleDatenAnzeigen1 = nullptr;
    QAction* Auswerten1 = nullptr;
    QAction* Suchen1 = nullptr;
    QAction* Weitersuchen1 = nullptr;
    QAction* Weitersuchenrckwrts1 = nullptr;
    QAction* N5 = nullptr; // the separator before Autofilter1
    QAction* Autofilter1 = nullptr;

    TfrmSelektion* frmSelektion = nullptr;
    TfrmKuerzen* frmKuerzen = nullptr;
    TfrmSuchen* frmSuchen = nullptr;
    // Menu "Ansicht", timeline, status field and what the window remembers (parallel_navigation).
    ParallelNavigation* Navigation = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const std::vector<std::string>& args);
    void FormCreate_DoJob(const std::vector<std::string>& args);
    void Starteinstellung();
    void FormShow();
    void FormActivate();
    void FormDestroy();
    bool HandleMessage(QEvent* event);
    void OnFileFound(const std::string& name, const std::string& dir);
    void createWidgets();
    void createMenus();
    void createNavigation(); // parallel_navigation.cpp
    void loadLogTab(LogTextView* view, const char* fileName);
    void createReaders();
    void releaseReaders();
    void bookingTeardownFocus();
    void bookingTeardownClose();
    void RunAutoSend(const std::vector<std::string>& args);
    void tshPkpfFileShow();
    // The booking tab's widget that takes the keyboard, or null before the tab was set up.
    QWidget* bookingFocusWidget() const;
    int bookingRowCount() const;
    // Merge and shorten from the menu: the question before, the report after.
    bool KuerzenFragen();
    void KuerzenBerichten(const KuerzenErgebnis& ergebnis);

    // After a busy state: the window active again and the keyboard in the active tab's view.
    void AnsichtFokussieren();
    // The status line for the active tab, and its cursor field alone.
    void StatusAktualisieren();
    void CursorAnzeigen();
    // After each merge: what the status line and an empty view say.
    void AnsichtGeladen(bool gefiltert);

    // The merge's input files, kept for the window's life so that their buffers are reused.
    std::unique_ptr<TBufferedFileStreams> FInfoProtStream;
    TerminateListener* terminateListener_ = nullptr;
    bool FTerminateRequested = false;
    int FExitCode = 0;
    bool destroyed_ = false;
    // Whether the merged view was filtered by its last merge: the status line tells it.
    bool FAnsichtGefiltert = false;
};

} // namespace infemora
