#include "booking/pkpf_tab_widget.h"

#include "host/datetime.h"
#include "host/directories.h"
#include "host/messages.h"
#include "host/user_state.h"
#include "shell/dialog_folders.h"

#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPolygon>
#include <QRadioButton>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace infemora {

namespace {

// Width a sort image takes in a header section, its gap included.
constexpr int kSortBildPlatz = 20;

// The header images: 0 marks an ascending sort, 1 a descending one.
QIcon sortBild(bool aufsteigend) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 70, 70));
    QPolygon dreieck;
    if (aufsteigend)
        dreieck << QPoint(3, 11) << QPoint(13, 11) << QPoint(8, 4);
    else
        dreieck << QPoint(3, 5) << QPoint(13, 5) << QPoint(8, 12);
    p.drawPolygon(dreieck);
    return QIcon(pm);
}

QLineEdit* zahlFeld(const char* name, int stellen, int maximum, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(stellen);
    e->setValidator(new QIntValidator(0, maximum, e));
    e->setAlignment(Qt::AlignRight);
    e->setFixedWidth(12 + 9 * stellen);
    return e;
}

QLineEdit* datumFeld(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    // Day, point, month, point, two-digit year; open places stay blanks, so that the parts keep
    // their positions in the text.
    e->setInputMask("99.99.99; ");
    e->setFixedWidth(70);
    return e;
}

// An empty integer field counts as 0.
int alsInteger(const QLineEdit* e) {
    return e->text().trimmed().isEmpty() ? 0 : e->text().trimmed().toInt();
}

std::string feldText(const QLineEdit* e) {
    return e->displayText().toStdString();
}

QLabel* wertLabel(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(pal);
    return l;
}

void gridStil(QTableView* v) {
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setMouseTracking(true); // hot tracking of the row under the mouse
    v->verticalHeader()->hide();
    v->verticalHeader()->setDefaultSectionSize(18);
    v->setWordWrap(false);
    v->setSortingEnabled(false);
    QHeaderView* h = v->horizontalHeader();
    h->setFixedHeight(20);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setFont(QFont("Tahoma", 8));
    h->setSectionsMovable(true);
    h->setSectionsClickable(true);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setHighlightSections(false);
    h->setStretchLastSection(false);
    // The selection keeps the highlight colour when the grid has no focus.
    QPalette pal = v->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    v->setPalette(pal);
}

} // namespace

TPKPFTab::TPKPFTab(QWidget* parent) : QWidget(parent) {
    setObjectName("pnlPkpfTab");
    createWidgets();
}

TPKPFTab::~TPKPFTab() {
    teardown_ = true;
}

void TPKPFTab::createWidgets() {
    auto* haupt = new QVBoxLayout(this);
    haupt->setContentsMargins(4, 4, 4, 4);

    // ---- top: selection panel, refresh button, search ----
    auto* oben = new QHBoxLayout;
    pnlRadioGroup = new QWidget(this);
    pnlRadioGroup->setObjectName("pnlRadioGroup");
    pnlRadioGroup->setFocusPolicy(Qt::StrongFocus);
    auto* g = new QGridLayout(pnlRadioGroup);
    g->setContentsMargins(2, 2, 2, 2);
    g->addWidget(new QLabel(QStringLiteral("Buchungen anzeigen ..."), pnlRadioGroup), 0, 0, 1, 6);

    rbLastDays = new QRadioButton(QStringLiteral("... der letzten"), pnlRadioGroup);
    rbLastDays->setObjectName("rbLastDays");
    edtLastDays = zahlFeld("edtLastDays", 3, 999, pnlRadioGroup);
    g->addWidget(rbLastDays, 1, 0);
    g->addWidget(edtLastDays, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("Tage"), pnlRadioGroup), 1, 2);

    rbVonBis = new QRadioButton(QStringLiteral("... von"), pnlRadioGroup);
    rbVonBis->setObjectName("rbVonBis");
    edtVon = datumFeld("edtVon", pnlRadioGroup);
    edtBis = datumFeld("edtBis", pnlRadioGroup);
    g->addWidget(rbVonBis, 2, 0);
    g->addWidget(edtVon, 2, 1);
    g->addWidget(new QLabel(QStringLiteral("bis"), pnlRadioGroup), 2, 2);
    g->addWidget(edtBis, 2, 3);

    rbBuchungsnummer = new QRadioButton(QStringLiteral("... von Buchungsnummer"), pnlRadioGroup);
    rbBuchungsnummer->setObjectName("rbBuchungsnummer");
    edtRNrLaden = zahlFeld("edtRNrLaden", 4, 9999, pnlRadioGroup);
    edtLNrVonLaden = zahlFeld("edtLNrVonLaden", 9, 999999999, pnlRadioGroup);
    edtLNrBisLaden = zahlFeld("edtLNrBisLaden", 9, 999999999, pnlRadioGroup);
    g->addWidget(rbBuchungsnummer, 3, 0);
    g->addWidget(edtRNrLaden, 3, 1);
    g->addWidget(new QLabel(QStringLiteral("-"), pnlRadioGroup), 3, 2);
    g->addWidget(edtLNrVonLaden, 3, 3);
    g->addWidget(new QLabel(QStringLiteral("bis"), pnlRadioGroup), 3, 4);
    g->addWidget(edtLNrBisLaden, 3, 5);
    oben->addWidget(pnlRadioGroup);

    btnAktualisieren = new QToolButton(this);
    btnAktualisieren->setObjectName("btnAktualisieren");
    btnAktualisieren->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    btnAktualisieren->setIconSize(QSize(24, 24));
    btnAktualisieren->setToolTip(QStringLiteral("Aktualisieren"));
    oben->addWidget(btnAktualisieren, 0, Qt::AlignVCenter);
    oben->addStretch(1);

    auto* suche = new QGridLayout;
    suche->addWidget(new QLabel(QStringLiteral("Buchungsnummer"), this), 0, 0, 1, 3);
    edtRNrSuche = zahlFeld("edtRNrSuche", 4, 9999, this);
    edtLNrSuche = zahlFeld("edtLNrSuche", 9, 999999999, this);
    suche->addWidget(edtRNrSuche, 1, 0);
    suche->addWidget(new QLabel(QStringLiteral("-"), this), 1, 1);
    suche->addWidget(edtLNrSuche, 1, 2);
    suche->addWidget(new QLabel(QStringLiteral("Buchung suchen"), this), 2, 0, 1, 2);
    btnBuchungSuchen = new QToolButton(this);
    btnBuchungSuchen->setObjectName("btnBuchungSuchen");
    btnBuchungSuchen->setIcon(
        QIcon::fromTheme("edit-find", style()->standardIcon(QStyle::SP_FileDialogContentsView)));
    btnBuchungSuchen->setToolTip(QStringLiteral("Buchung suchen"));
    suche->addWidget(btnBuchungSuchen, 2, 2, Qt::AlignLeft);
    lblSuchErgebnis = new QLabel(this);
    lblSuchErgebnis->setObjectName("lblSuchErgebnis");
    suche->addWidget(lblSuchErgebnis, 3, 0, 1, 3);
    oben->addLayout(suche);
    haupt->addLayout(oben);

    // ---- middle: booking grid, splitter, details and record grid ----
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(11);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setStyleSheet("QSplitter#Splitter1::handle { background-color: rgb(128, 128, 128); }");

    trvPKPFKopf = new QTableView(Splitter1);
    trvPKPFKopf->setObjectName("trvPKPFKopf");
    gridStil(trvPKPFKopf);
    trvPKPFKopf->setShowGrid(false);
    kopfModel = new TPKPFKopfModel(this);
    kopfModel->setHeaderImages(sortBild(true), sortBild(false));

    pnlSplitterUnten = new QWidget(Splitter1);
    pnlSplitterUnten->setObjectName("pnlSplitterUnten");
    auto* unten = new QVBoxLayout(pnlSplitterUnten);
    unten->setContentsMargins(0, 2, 0, 0);
    auto* details = new QHBoxLayout;
    auto detail = [&](const char* caption, QLabel*& label, const char* name) {
        details->addWidget(new QLabel(QString::fromUtf8(caption), pnlSplitterUnten));
        label = wertLabel(name, pnlSplitterUnten);
        details->addWidget(label);
        details->addSpacing(16);
    };
    detail("Prozess", lblProzess, "lblProzess");
    detail("Terminal", lblTerminal, "lblTerminal");
    detail("Start Verarbeitung", lblStartVerarb, "lblStartVerarb");
    detail("Ende Verarbeitung", lblEndeVerarb, "lblEndeVerarb");
    detail("Version", lblVersion, "lblVersion");
    details->addStretch(1);
    unten->addLayout(details);

    trvPKPFSaetze = new QTableView(pnlSplitterUnten);
    trvPKPFSaetze->setObjectName("trvPKPFSaetze");
    gridStil(trvPKPFSaetze);
    trvPKPFSaetze->setShowGrid(true); // horizontal lines between the record lines
    trvPKPFSaetze->setStyleSheet("QTableView#trvPKPFSaetze { gridline-color: rgb(220, 220, 220); }");
    saetzeModel = new TPKPFSaetzeModel(this);
    unten->addWidget(trvPKPFSaetze, 1);

    Splitter1->addWidget(trvPKPFKopf);
    Splitter1->addWidget(pnlSplitterUnten);
    // Both parts grow with the window, the list a little more: maximised it shows many bookings.
    Splitter1->setStretchFactor(0, 3);
    Splitter1->setStretchFactor(1, 2);
    Splitter1->setSizes({240, 160});
    haupt->addWidget(Splitter1, 1);

    // ---- bottom: export ----
    auto* export_ = new QHBoxLayout;
    export_->addWidget(new QLabel(QStringLiteral("Angezeigte Buchungen exportieren:"), this));
    btnPkpfSaveFile = new QToolButton(this);
    btnPkpfSaveFile->setObjectName("btnPkpfSaveFile");
    btnPkpfSaveFile->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    btnPkpfSaveFile->setToolTip(QStringLiteral("Angezeigte Buchungen exportieren"));
    export_->addWidget(btnPkpfSaveFile);
    export_->addStretch(1);
    lblAnzahlBuchungen = new QLabel(this);
    lblAnzahlBuchungen->setObjectName("lblAnzahlBuchungen");
    export_->addWidget(lblAnzahlBuchungen);
    haupt->addLayout(export_);

    // ---- wiring ----
    connect(rbLastDays, &QRadioButton::clicked, this, [this] { rbLastDaysClick(); });
    connect(rbVonBis, &QRadioButton::clicked, this, [this] { rbVonBisClick(); });
    connect(rbBuchungsnummer, &QRadioButton::clicked, this, [this] { rbBuchungsnummerClick(); });
    connect(btnAktualisieren, &QToolButton::clicked, this, [this] { btnAktualisierenClick(); });
    connect(btnBuchungSuchen, &QToolButton::clicked, this, [this] { btnBuchungSuchenClick(); });
    connect(btnPkpfSaveFile, &QToolButton::clicked, this, [this] { btnPkpfSaveFileClick(); });
    connect(trvPKPFKopf->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int c) { trvPKPFKopfHeaderClick(c); });
    connect(trvPKPFSaetze->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int c) { trvPKPFSaetzeHeaderClick(c); });
    for (QLineEdit* e :
         {edtLastDays, edtVon, edtBis, edtRNrLaden, edtLNrVonLaden, edtLNrBisLaden, edtRNrSuche, edtLNrSuche})
        e->installEventFilter(this);
    for (QLineEdit* e : {edtLastDays, edtVon, edtBis, edtRNrLaden, edtLNrVonLaden, edtLNrBisLaden})
        e->setEnabled(false);
}

bool TPKPFTab::eingabeTaste(QObject* watched) {
    if (watched == edtRNrSuche || watched == edtLNrSuche) {
        btnBuchungSuchenClick();
        return true;
    }
    if (watched == edtLastDays || watched == edtVon || watched == edtBis || watched == edtRNrLaden ||
        watched == edtLNrVonLaden || watched == edtLNrBisLaden) {
        btnAktualisierenClick();
        return true;
    }
    return false;
}

bool TPKPFTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && !teardown_) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && eingabeTaste(watched))
            return true;
    }
    if (event->type() == QEvent::FocusOut && !teardown_) {
        // Leaving the field for a popup or another application is no exit from the field.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            if (watched == edtLastDays)
                edtLastDaysExit();
            else if (watched == edtBis)
                edtBisExit();
            else if (watched == edtLNrBisLaden)
                edtLNrBisLadenExit();
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- selection ----

void TPKPFTab::tshPkpfFileShow() {
    try {
        const bool ersteMal = FBuchungsNrIdx < 0;
        StarteinstellungRgPKPFAnzeige();
        // The first showing loads the list of the preset selection: an empty grid would only
        // make the user look for the refresh button.
        if (ersteMal && FBuchungsNrIdx >= 0)
            PKPFAnzeigeAktualisieren();
        TrvPKPFKopfFocusFirstNodeIfNoneFocused();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.tshPkpfFileShow");
    }
}

void TPKPFTab::StarteinstellungRgPKPFAnzeige() {
    try {
        if (rbLastDays->isChecked() || rbVonBis->isChecked() || rbBuchungsnummer->isChecked())
            return;
        rbLastDays->setChecked(true);
        edtLastDays->setText(QStringLiteral("30"));
        const TDateTime heute = Today();
        edtVon->setText(QString::fromStdString(FormatDateTime("dd.MM.yy", heute.addDays(-30))));
        edtBis->setText(QString::fromStdString(FormatDateTime("dd.MM.yy", heute)));
        for (QLabel* l : {lblProzess, lblTerminal, lblStartVerarb, lblEndeVerarb, lblVersion})
            l->clear();
        RgPKPFAnzeigeSchalten(rbLastDays);
        TrvPKPFSaetzeDefinieren(TrvPKPFKopfDefinieren());
    } catch (...) {
        RegisterCurrentException("TfrmParallel.StarteinstellungRgPKPFAnzeige");
    }
}

void TPKPFTab::RgPKPFAnzeigeSchalten(QRadioButton* button) {
    try {
        for (QRadioButton* rb : {rbLastDays, rbVonBis, rbBuchungsnummer})
            rb->setChecked(rb->objectName() == button->objectName());
        const bool tage = button->objectName() == rbLastDays->objectName();
        const bool datum = button->objectName() == rbVonBis->objectName();
        const bool nummer = button->objectName() == rbBuchungsnummer->objectName();
        edtLastDays->setEnabled(tage);
        edtVon->setEnabled(datum);
        edtBis->setEnabled(datum);
        edtRNrLaden->setEnabled(nummer);
        edtLNrVonLaden->setEnabled(nummer);
        edtLNrBisLaden->setEnabled(nummer);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.RgPKPFAnzeigeSchalten");
    }
}

void TPKPFTab::modeClicked(QRadioButton* button, const char* context) {
    try {
        RgPKPFAnzeigeSchalten(button);
        if (FBuchungsNrIdx >= 0)
            PKPFAnzeigeAktualisieren();
    } catch (...) {
        RegisterCurrentException(context);
    }
}

void TPKPFTab::rbLastDaysClick() {
    modeClicked(rbLastDays, "TfrmParallel.rbLastDaysClick");
}
void TPKPFTab::rbVonBisClick() {
    modeClicked(rbVonBis, "TfrmParallel.rbVonBisClick");
}
void TPKPFTab::rbBuchungsnummerClick() {
    modeClicked(rbBuchungsnummer, "TfrmParallel.rbBuchungsnummerClick");
}

void TPKPFTab::edtLastDaysExit() {
    try {
        PKPFAnzeigeAktualisieren();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.edtLastDaysExit");
    }
}

void TPKPFTab::edtBisExit() {
    try {
        PKPFAnzeigeAktualisieren();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.edtBisExit");
    }
}

void TPKPFTab::edtLNrBisLadenExit() {
    try {
        PKPFAnzeigeAktualisieren();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.edtLNrBisLadenExit");
    }
}

void TPKPFTab::btnAktualisierenClick() {
    try {
        PKPFAnzeigeAktualisieren();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.btnAktualisierenClick");
    }
}

TPKPFAuswahl TPKPFTab::auswahl() const {
    TPKPFAuswahl a;
    if (rbVonBis->isChecked())
        a.modus = TPKPFAnzeigeModus::VonBis;
    else if (rbBuchungsnummer->isChecked())
        a.modus = TPKPFAnzeigeModus::Buchungsnummer;
    else
        a.modus = TPKPFAnzeigeModus::LetzteTage;
    a.letzteTage = edtLastDays->text().toStdString();
    a.von = feldText(edtVon);
    a.bis = feldText(edtBis);
    a.rNr = alsInteger(edtRNrLaden);
    a.lNrVon = alsInteger(edtLNrVonLaden);
    a.lNrBis = alsInteger(edtLNrBisLaden);
    return a;
}

void TPKPFTab::PKPFAnzeigeAktualisieren() {
    try {
        std::vector<TPKPFKopfZeile> zeilen;
        if (!protokoll_.PKPFAnzeigeAktualisieren(auswahl(), zeilen))
            return; // a number field is empty: list, details and selection stay
        kopfModel->clearSortMarkers();
        kopfModel->setZeilen(std::move(zeilen));
        TrvPKPFSaetzeEinstellen(-1);
        lblSuchErgebnis->clear();
        trvPKPFKopf->viewport()->update();
        NeuesteBuchungFokussieren();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.PKPFAnzeigeAktualisieren");
    }
    const int n = kopfModel->rowCount();
    lblAnzahlBuchungen->setText(n == 1 ? QStringLiteral("1 Buchung angezeigt")
                                       : QStringLiteral("%1 Buchungen angezeigt").arg(QLocale().toString(n)));
    emit listeGeladen();
}

void TPKPFTab::NeuesteBuchungFokussieren() {
    if (focusedRow() >= 0 || kopfModel->rowCount() == 0 || !trvPKPFKopf->selectionModel())
        return;
    const QModelIndex index = kopfModel->index(kopfModel->neuesteZeile(), FBuchungsNrIdx);
    trvPKPFKopf->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
    trvPKPFKopf->scrollTo(index, QAbstractItemView::EnsureVisible);
}

// ---- grids ----

int TPKPFTab::TrvPKPFKopfDefinieren() {
    int summe = 0;
    try {
        trvPKPFKopf->setUpdatesEnabled(false);
        kopfModel->clear();
        if (trvPKPFKopf->model() != kopfModel) {
            trvPKPFKopf->setModel(kopfModel);
            connect(trvPKPFKopf->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                    [this](const QModelIndex& current) {
                        trvPKPFKopfFocusChanged(current.isValid() ? current.row() : -1);
                    });
        }
        QHeaderView* kopf = trvPKPFKopf->horizontalHeader();
        for (int c = 0; c < PKPFKopfSpaltenAnzahl; ++c) {
            const TPKPFSpaltenDef& def = PKPFKopfSpaltenDef(c);
            trvPKPFKopf->setColumnHidden(c, !def.sichtbar);
            if (!def.sichtbar)
                continue;
            // Room for the caption and the sort image beside it: the image must not cover the
            // caption, and this platform's header font is wider than the one the widths were
            // made for.
            kopf->resizeSection(c, std::max(def.width, kopf->sectionSizeHint(c) + kSortBildPlatz));
            summe += kopf->sectionSize(c);
        }
        FBuchungsNrIdx = SpBuchungsNr;
        FDatumZeitIdx = SpDatumZeit;
        FDatumZeitSortIdx = SpDatumZeitSort;
        FSatzAnzIdx = SpSatzAnzahl;
        FSatzAnzSortIdx = SpSatzAnzahlSort;
        FGesLaengeIdx = SpGesLaenge;
        FGesLaengeSortIdx = SpGesLaengeSort;
        trvPKPFKopf->setUpdatesEnabled(true);
    } catch (...) {
        trvPKPFKopf->setUpdatesEnabled(true);
        RegisterCurrentException("TfrmParallel.TrvPKPFKopfDefinieren");
    }
    return summe;
}

void TPKPFTab::TrvPKPFSaetzeDefinieren(int gesamtBreite) {
    try {
        trvPKPFSaetze->setUpdatesEnabled(false);
        saetzeModel->clear();
        if (trvPKPFSaetze->model() != saetzeModel)
            trvPKPFSaetze->setModel(saetzeModel);
        QHeaderView* h = trvPKPFSaetze->horizontalHeader();
        h->resizeSection(0, 80);
        h->resizeSection(1, 60);
        h->resizeSection(2, std::max(0, gesamtBreite - 140));
        FWRDONIdx = 1;
        trvPKPFSaetze->setUpdatesEnabled(true);
    } catch (...) {
        trvPKPFSaetze->setUpdatesEnabled(true);
        RegisterCurrentException("TfrmParallel.TrvPKPFSaetzeDefinieren");
    }
}

void TPKPFTab::TrvPKPFSaetzeEinstellen(int row) {
    try {
        saetzeModel->clear();
        for (QLabel* l : {lblProzess, lblTerminal, lblStartVerarb, lblEndeVerarb, lblVersion})
            l->setText(QString());
        if (row < 0 || row >= kopfModel->rowCount())
            return;
        TPKPFDetails d;
        protokoll_.TrvPKPFSaetzeEinstellen(&kopfModel->zeile(row).BuchungsNr, d);
        if (!d.gefunden)
            return;
        lblProzess->setText(PkpfText(d.Prozess));
        lblTerminal->setText(PkpfText(d.Terminal));
        lblStartVerarb->setText(PkpfText(d.StartVerarb));
        lblEndeVerarb->setText(PkpfText(d.EndeVerarb));
        lblVersion->setText(PkpfText(d.Version));
        saetzeModel->setSaetze(std::move(d.Saetze));
        trvPKPFSaetze->viewport()->update();
    } catch (...) {
        RegisterCurrentException("TfrmParallel.TrvPKPFSaetzeEinstellen");
    }
}

int TPKPFTab::focusedRow() const {
    if (!trvPKPFKopf->selectionModel())
        return -1;
    const QModelIndex current = trvPKPFKopf->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TPKPFTab::TrvPKPFKopfFocusFirstNodeIfNoneFocused() {
    try {
        if (focusedRow() >= 0 || kopfModel->rowCount() == 0 || !trvPKPFKopf->selectionModel())
            return;
        trvPKPFKopf->selectionModel()->setCurrentIndex(kopfModel->index(0, FBuchungsNrIdx),
                                                       QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.TrvPKPFKopfFocusFirstNodeIfNoneFocused");
    }
}

void TPKPFTab::trvPKPFKopfFocusChanged(int row) {
    try {
        TrvPKPFSaetzeEinstellen(row);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.trvPKPFKopfFocusChanged");
    }
}

void TPKPFTab::trvPKPFKopfHeaderClick(int column) {
    try {
        FSortDirection = FSortDirection == TPKPFSortRichtung::Absteigend ? TPKPFSortRichtung::Aufsteigend
                                                                         : TPKPFSortRichtung::Absteigend;
        kopfModel->clearSortMarkers();
        kopfModel->setSortMarker(column, FSortDirection == TPKPFSortRichtung::Aufsteigend ? 0 : 1);
        kopfModel->sortiere(column, FSortDirection);
    } catch (...) {
        RegisterCurrentException("TfrmParallel.trvPKPFKopfHeaderClick");
    }
}

void TPKPFTab::trvPKPFSaetzeHeaderClick(int) {
    // The record lines keep their stored order.
}

// ---- search and export ----

void TPKPFTab::btnBuchungSuchenClick() {
    try {
        const TPKPFSuchErgebnis e = BuchungSuchen(alsInteger(edtRNrSuche), alsInteger(edtLNrSuche),
                                                  static_cast<size_t>(kopfModel->rowCount()),
                                                  [this](std::size_t i) -> const std::string& {
                                                      return kopfModel->zeile(static_cast<int>(i)).BuchungsNr;
                                                  });
        if (!e.gesucht)
            return;
        if (!e.zeile) {
            // No row stays marked as if it were the one asked for.
            if (trvPKPFKopf->selectionModel())
                trvPKPFKopf->selectionModel()->clear();
            TrvPKPFSaetzeEinstellen(-1);
            lblSuchErgebnis->setText(QStringLiteral("Buchung %1-%2 ist nicht in der Liste.")
                                         .arg(alsInteger(edtRNrSuche))
                                         .arg(alsInteger(edtLNrSuche)));
            return;
        }
        lblSuchErgebnis->clear();
        const QModelIndex index = kopfModel->index(static_cast<int>(*e.zeile), FBuchungsNrIdx);
        trvPKPFKopf->scrollTo(index, QAbstractItemView::PositionAtCenter);
        const bool schonFokussiert = focusedRow() == index.row();
        trvPKPFKopf->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
        // The focus does not move then, so nothing else would show the details again.
        if (schonFokussiert)
            TrvPKPFSaetzeEinstellen(index.row());
    } catch (...) {
        RegisterCurrentException("TfrmParallel.btnBuchungSuchenClick");
    }
}

void TPKPFTab::btnPkpfSaveFileClick() {
    try {
        const QString statemp = QString::fromStdString(GetDirWwsByName(TQVRFolder::StaTemp, "", true));
        QString dir;
        if (chooseExportDir) {
            dir = chooseExportDir(statemp);
        } else {
            dir =
                QFileDialog::getExistingDirectory(this, QStringLiteral("Verzeichnis für den Export"),
                                                  DialogOrdner(UserState::Instance(), kOrdnerExport, statemp),
                                                  QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
            if (!dir.isEmpty())
                DialogOrdnerMerken(UserState::Instance(), kOrdnerExport, dir);
        }
        if (dir.isEmpty())
            return;
        protokoll_.PKPFExportieren(dir.toStdString(), kopfModel->buchungsNrTexte());
    } catch (...) {
        RegisterCurrentException("TfrmParallel.btnPkpfSaveFileClick");
    }
}

// ---- teardown ----

void TPKPFTab::teardownFocus() {
    teardown_ = true;
    if (trvPKPFKopf->hasFocus() || trvPKPFSaetze->hasFocus())
        pnlRadioGroup->setFocus();
}

void TPKPFTab::teardownClose() {
    protokoll_.PKPFFileFreigeben();
}

} // namespace infemora
