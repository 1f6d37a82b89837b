#pragma once
// The content of the main window's tab "Buchungsprotokoll": selection panel, booking grid,
// detail line, record grid, search by number and export. Its routines are the main window's
// (their failures are registered as TfrmParallel's); the work itself is done by
// TBuchungsprotokoll of the core.
// moc of this Qt version cannot parse the C++20 library headers behind these.
#ifndef Q_MOC_RUN
#include "booking/buchungsprotokoll.h"
#endif
#include "booking/pkpf_grid_model.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QRadioButton;
class QSplitter;
class QTableView;
class QToolButton;

namespace infemora {

class TPKPFTab : public QWidget {
    Q_OBJECT
public:
    explicit TPKPFTab(QWidget* parent = nullptr);
    ~TPKPFTab() override;

    TBuchungsprotokoll& protokoll() { return protokoll_; }

    // Selection panel
    QWidget* pnlRadioGroup = nullptr;
    QRadioButton* rbLastDays = nullptr;
    QRadioButton* rbVonBis = nullptr;
    QRadioButton* rbBuchungsnummer = nullptr;
    QLineEdit* edtLastDays = nullptr;
    QLineEdit* edtVon = nullptr;
    QLineEdit* edtBis = nullptr;
    QLineEdit* edtRNrLaden = nullptr;
    QLineEdit* edtLNrVonLaden = nullptr;
    QLineEdit* edtLNrBisLaden = nullptr;
    QToolButton* btnAktualisieren = nullptr;
    // Search and export
    QLineEdit* edtRNrSuche = nullptr;
    QLineEdit* edtLNrSuche = nullptr;
    QToolButton* btnBuchungSuchen = nullptr;
    QToolButton* btnPkpfSaveFile = nullptr;
    QLabel* lblSuchErgebnis = nullptr;    // says when a searched number is not in the list
    QLabel* lblAnzahlBuchungen = nullptr; // how many bookings the list shows
    // Grids and details
    QTableView* trvPKPFKopf = nullptr;
    QTableView* trvPKPFSaetze = nullptr;
    QSplitter* Splitter1 = nullptr;
    QWidget* pnlSplitterUnten = nullptr;
    QLabel* lblProzess = nullptr;
    QLabel* lblTerminal = nullptr;
    QLabel* lblStartVerarb = nullptr;
    QLabel* lblEndeVerarb = nullptr;
    QLabel* lblVersion = nullptr;

    TPKPFKopfModel* kopfModel = nullptr;
    TPKPFSaetzeModel* saetzeModel = nullptr;

    // Column positions, -1 until the grids have their columns.
    int FBuchungsNrIdx = -1;
    int FDatumZeitIdx = -1;
    int FDatumZeitSortIdx = -1;
    int FSatzAnzIdx = -1;
    int FSatzAnzSortIdx = -1;
    int FGesLaengeIdx = -1;
    int FGesLaengeSortIdx = -1;
    int FWRDONIdx = -1;
    TPKPFSortRichtung FSortDirection = TPKPFSortRichtung::Absteigend;

    // The tab shown: the first time it gets its mode, dates and columns (no load).
    void tshPkpfFileShow();
    void StarteinstellungRgPKPFAnzeige();
    void RgPKPFAnzeigeSchalten(QRadioButton* button);
    void PKPFAnzeigeAktualisieren();
    int TrvPKPFKopfDefinieren();
    void TrvPKPFSaetzeDefinieren(int gesamtBreite);
    // Details and record lines of the booking grid row (from the top), -1 for none.
    void TrvPKPFSaetzeEinstellen(int row);
    void TrvPKPFKopfFocusFirstNodeIfNoneFocused();
    void trvPKPFKopfFocusChanged(int row);
    void trvPKPFKopfHeaderClick(int column);
    void trvPKPFSaetzeHeaderClick(int column);
    void rbLastDaysClick();
    void rbVonBisClick();
    void rbBuchungsnummerClick();
    void edtLastDaysExit();
    void edtBisExit();
    void edtLNrBisLadenExit();
    void btnAktualisierenClick();
    void btnBuchungSuchenClick();
    void btnPkpfSaveFileClick();

    // The window's teardown: the focus leaves the grids, then the booking file is closed.
    void teardownFocus();
    void teardownClose();

    // Seam for tests: the directory chooser (start directory in, chosen directory or empty out).
    std::function<QString(const QString&)> chooseExportDir;

    // The focused row of the booking grid, -1 when none.
    int focusedRow() const;

signals:
    // The list was loaded (the number of bookings shown may have changed).
    void listeGeladen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createWidgets();
    TPKPFAuswahl auswahl() const;
    void modeClicked(QRadioButton* button, const char* context);
    // After a load: the newest booking focused, selected and in view.
    void NeuesteBuchungFokussieren();
    // Enter in a field: loads in the selection fields, searches in the search fields.
    bool eingabeTaste(QObject* watched);

    TBuchungsprotokoll protokoll_;
    bool teardown_ = false;
};

} // namespace infemora
