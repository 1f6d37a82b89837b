#pragma once
// The two grids of the booking tab as models over the loaded rows: the booking grid shows the
// rows of the last load in their current order, sorted by a header click; the record grid shows
// the record lines of the focused booking in stored order.
// moc of this Qt version cannot parse the C++20 library headers behind these.
#ifndef Q_MOC_RUN
#include "booking/buchungsprotokoll.h"
#endif

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

namespace infemora {

enum class TPKPFSortRichtung { Aufsteigend, Absteigend };

// Column positions of the booking grid.
enum TPKPFKopfSpalte : int {
    SpBuchungsNr = 0,
    SpDatumZeit = 1,
    SpDatumZeitSort = 2,
    SpProgramm = 3,
    SpVorfall = 4,
    SpBenutzer = 5,
    SpSatzAnzahl = 6,
    SpSatzAnzahlSort = 7,
    SpGesLaenge = 8,
    SpGesLaengeSort = 9,
    PKPFKopfSpaltenAnzahl = 10,
};

struct TPKPFSpaltenDef {
    const char* caption; // UTF-8
    int width;
    bool rechts;
    bool sichtbar;
};
// The booking grid's columns in their order.
const TPKPFSpaltenDef& PKPFKopfSpaltenDef(int spalte);

class TPKPFKopfModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TPKPFKopfModel(QObject* parent = nullptr);

    // New rows in scan order; markers and the current order are dropped.
    void setZeilen(std::vector<TPKPFKopfZeile> zeilen);
    void clear();
    const TPKPFKopfZeile& zeile(int row) const { return zeilen_[order_[static_cast<size_t>(row)]]; }
    // The row of the newest booking (the last of several equal ones), -1 without rows.
    int neuesteZeile() const;
    // Booking number cell texts from the top in the current order.
    std::vector<std::string> buchungsNrTexte() const;

    // Sorts all rows by column C as the header click wants it: the visible date, record count
    // and length columns by their hidden partners, the others by their own value. The sort is
    // stable, so equal rows keep their order. Persistent indexes (the focused row) follow.
    void sortiere(int spalte, TPKPFSortRichtung richtung);
    // The header image of a column: -1 none, 0 ascending, 1 descending.
    void setSortMarker(int spalte, int bild);
    void clearSortMarkers();
    int sortMarker(int spalte) const;
    void setHeaderImages(const QIcon& aufsteigend, const QIcon& absteigend);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The stripe colour of even rows.
    static QColor streifenFarbe() { return QColor(255, 255, 191); }

private:
    std::vector<TPKPFKopfZeile> zeilen_;
    std::vector<std::size_t> order_; // row position -> index in zeilen_
    int markerSpalte_ = -1;
    int markerBild_ = -1;
    QIcon bilder_[2];
};

class TPKPFSaetzeModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TPKPFSaetzeModel(QObject* parent = nullptr);

    void setSaetze(TPKPF_Blob_Arr saetze);
    void clear();
    const TPKPF_Blob_Arr& saetze() const { return saetze_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QColor farbeRW() { return QColor(180, 180, 255); }
    static QColor farbeDE() { return QColor(255, 180, 180); }

private:
    TPKPF_Blob_Arr saetze_;
};

// Windows-1252 bytes of the core as text of the view.
QString PkpfText(const std::string& win1252);

} // namespace infemora
