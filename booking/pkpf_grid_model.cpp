#include "booking/pkpf_grid_model.h"

#include "evaluation/text_compare.h"
#include "host/codec1252.h"

#include <QColor>

#include <algorithm>
#include <numeric>

namespace infemora {

QString PkpfText(const std::string& win1252) {
    return QString::fromStdString(Win1252ToUtf8(win1252));
}

namespace {

const TPKPFSpaltenDef kKopfSpalten[PKPFKopfSpaltenAnzahl] = {
    {"Buchungsnummer", 130, false, true},
    {"Buchungs-Datum, -Uhrzeit", 145, false, true},
    {"Buchungs-Datum, -Uhrzeit Sort", 0, false, false},
    {"Programm", 65, false, true},
    {"Vorfall", 50, false, true},
    {"Benutzer", 100, false, true},
    {"Satzanzahl", 70, true, true},
    {"Satzanzahl Sort", 0, true, false},
    {"Gesamtlänge", 80, true, true},
    {"Gesamtlänge Sort", 0, true, false},
};

// The value a column sorts by; the hidden partners carry the values of the visible columns.
int sortSpalte(int spalte) {
    switch (spalte) {
    case SpDatumZeit:
        return SpDatumZeitSort;
    case SpSatzAnzahl:
        return SpSatzAnzahlSort;
    case SpGesLaenge:
        return SpGesLaengeSort;
    default:
        return spalte;
    }
}

// Negative, zero or positive as a is before, equal to or after b in column spalte.
int vergleiche(const TPKPFKopfZeile& a, const TPKPFKopfZeile& b, int spalte) {
    auto cmp = [](const auto& x, const auto& y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (spalte) {
    case SpBuchungsNr:
        return a.BuchungsNr.compare(b.BuchungsNr);
    case SpDatumZeit:
        return a.DatumZeit.compare(b.DatumZeit);
    case SpDatumZeitSort:
        return cmp(a.DatumZeitSort, b.DatumZeitSort);
    case SpProgramm:
        return a.Programm.compare(b.Programm);
    case SpVorfall:
        return a.Vorfall.compare(b.Vorfall);
    case SpBenutzer:
        return a.Benutzer.compare(b.Benutzer);
    case SpSatzAnzahl:
        return a.SatzAnzahl.compare(b.SatzAnzahl);
    case SpSatzAnzahlSort:
        return cmp(a.SatzAnzahlSort, b.SatzAnzahlSort);
    case SpGesLaenge:
        return a.GesLaenge.compare(b.GesLaenge);
    case SpGesLaengeSort:
        return cmp(a.GesLaengeSort, b.GesLaengeSort);
    }
    return 0;
}

// The names in these columns sort as a German reader looks them up: letter case does not count,
// umlauts stand beside their vowels.
const std::string* namensText(const TPKPFKopfZeile& z, int spalte) {
    switch (spalte) {
    case SpProgramm:
        return &z.Programm;
    case SpVorfall:
        return &z.Vorfall;
    case SpBenutzer:
        return &z.Benutzer;
    default:
        return nullptr;
    }
}

const GermanCollator& kollator() {
    static const GermanCollator c;
    return c;
}

} // namespace

const TPKPFSpaltenDef& PKPFKopfSpaltenDef(int spalte) {
    return kKopfSpalten[spalte];
}

// ---- booking grid ----

TPKPFKopfModel::TPKPFKopfModel(QObject* parent) : QAbstractTableModel(parent) {}

void TPKPFKopfModel::setZeilen(std::vector<TPKPFKopfZeile> zeilen) {
    beginResetModel();
    zeilen_ = std::move(zeilen);
    order_.resize(zeilen_.size());
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    endResetModel();
}

void TPKPFKopfModel::clear() {
    setZeilen({});
}

int TPKPFKopfModel::neuesteZeile() const {
    int beste = -1;
    for (int row = 0; row < rowCount(); ++row)
        if (beste < 0 || !(zeile(row).DatumZeitSort < zeile(beste).DatumZeitSort))
            beste = row;
    return beste;
}

std::vector<std::string> TPKPFKopfModel::buchungsNrTexte() const {
    std::vector<std::string> out;
    out.reserve(order_.size());
    for (std::size_t i : order_)
        out.push_back(zeilen_[i].BuchungsNr);
    return out;
}

void TPKPFKopfModel::sortiere(int spalte, TPKPFSortRichtung richtung) {
    const int nach = sortSpalte(spalte);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<std::size_t> neu = order_;
    const bool ab = richtung == TPKPFSortRichtung::Absteigend;
    if (!zeilen_.empty() && namensText(zeilen_.front(), nach)) {
        // One sort key per row, made once, rather than a collation per comparison.
        std::vector<std::string> schluessel(zeilen_.size());
        for (std::size_t i = 0; i < zeilen_.size(); ++i)
            schluessel[i] = kollator().SortKey(*namensText(zeilen_[i], nach));
        std::stable_sort(neu.begin(), neu.end(), [&](std::size_t x, std::size_t y) {
            return ab ? schluessel[y] < schluessel[x] : schluessel[x] < schluessel[y];
        });
    } else {
        std::stable_sort(neu.begin(), neu.end(), [&](std::size_t x, std::size_t y) {
            const int c = vergleiche(zeilen_[x], zeilen_[y], nach);
            return ab ? c > 0 : c < 0;
        });
    }
    // Where each row stands now, for the focused and selected rows to follow their booking.
    std::vector<int> neuePosition(zeilen_.size());
    for (std::size_t pos = 0; pos < neu.size(); ++pos)
        neuePosition[neu[pos]] = static_cast<int>(pos);
    const QModelIndexList alt = persistentIndexList();
    QModelIndexList ziel;
    ziel.reserve(alt.size());
    for (const QModelIndex& i : alt)
        ziel.append(index(neuePosition[order_[static_cast<size_t>(i.row())]], i.column()));
    order_ = std::move(neu);
    changePersistentIndexList(alt, ziel);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TPKPFKopfModel::setSortMarker(int spalte, int bild) {
    const int alt = markerSpalte_;
    markerSpalte_ = spalte;
    markerBild_ = bild;
    if (alt >= 0)
        emit headerDataChanged(Qt::Horizontal, alt, alt);
    if (spalte >= 0)
        emit headerDataChanged(Qt::Horizontal, spalte, spalte);
}

void TPKPFKopfModel::clearSortMarkers() {
    setSortMarker(-1, -1);
}

int TPKPFKopfModel::sortMarker(int spalte) const {
    return spalte == markerSpalte_ ? markerBild_ : -1;
}

void TPKPFKopfModel::setHeaderImages(const QIcon& aufsteigend, const QIcon& absteigend) {
    bilder_[0] = aufsteigend;
    bilder_[1] = absteigend;
}

int TPKPFKopfModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int TPKPFKopfModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : PKPFKopfSpaltenAnzahl;
}

QVariant TPKPFKopfModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TPKPFKopfZeile& z = zeile(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case SpBuchungsNr:
            return PkpfText(z.BuchungsNr);
        case SpDatumZeit:
            return PkpfText(z.DatumZeit);
        case SpDatumZeitSort:
            return QVariant::fromValue<qlonglong>(z.DatumZeitSort.ms);
        case SpProgramm:
            return PkpfText(z.Programm);
        case SpVorfall:
            return PkpfText(z.Vorfall);
        case SpBenutzer:
            return PkpfText(z.Benutzer);
        case SpSatzAnzahl:
            return PkpfText(z.SatzAnzahl);
        case SpSatzAnzahlSort:
            return z.SatzAnzahlSort;
        case SpGesLaenge:
            return PkpfText(z.GesLaenge);
        case SpGesLaengeSort:
            return z.GesLaengeSort;
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (kKopfSpalten[index.column()].rechts ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::BackgroundRole:
        // Stripes by position from the top, so they stay in place when the rows are sorted.
        if (index.row() % 2 == 0)
            return streifenFarbe();
        return {};
    }
    return {};
}

QVariant TPKPFKopfModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= PKPFKopfSpaltenAnzahl)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf8(kKopfSpalten[section].caption);
    case Qt::DecorationRole: {
        const int bild = sortMarker(section);
        if (bild == 0 || bild == 1)
            return bilder_[bild];
        return {};
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (kKopfSpalten[section].rechts ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

// ---- record grid ----

TPKPFSaetzeModel::TPKPFSaetzeModel(QObject* parent) : QAbstractTableModel(parent) {}

void TPKPFSaetzeModel::setSaetze(TPKPF_Blob_Arr saetze) {
    beginResetModel();
    saetze_ = std::move(saetze);
    endResetModel();
}

void TPKPFSaetzeModel::clear() {
    setSaetze({});
}

int TPKPFSaetzeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(saetze_.size());
}

int TPKPFSaetzeModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant TPKPFSaetzeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TPKPF_Blob_Rec& s = saetze_[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return PkpfText(s.Kennung);
        case 1:
            return PkpfText(s.WRDON);
        case 2:
            return PkpfText(s.Beschreibung);
        }
        return {};
    case Qt::BackgroundRole:
        if (s.WRDON == "RW")
            return farbeRW();
        if (s.WRDON == "DE")
            return farbeDE();
        return {};
    }
    return {};
}

QVariant TPKPFSaetzeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const captions[] = {"Kennung", "WRDON", "Beschreibung"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
        return QString::fromLatin1(captions[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace infemora
