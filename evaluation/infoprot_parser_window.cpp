#include "evaluation/infoprot_parser_window.h"

#include "evaluation/autosend.h"
#include "evaluation/infoprot_parser.h"
#include "host/codec1252.h"
#include "host/datetime.h"
#include "host/directories.h"
#include "host/messages.h"
#include "host/progress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace infemora {

namespace {

const std::string kKlasse = "TVKT_InfoProtParser.";

// Lets the window repaint and take its lines while an evaluation runs on the GUI thread.
class FensterPumpe : public IProgress {
public:
    void Pump() override { QCoreApplication::processEvents(); }
};

// The evaluation writes its own texts in Windows-1252 and file paths as the file system holds
// them (UTF-8 here); a line that is valid UTF-8 is taken as such.
QString Anzeigetext(const std::string& zeile) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(zeile.data(), static_cast<qsizetype>(zeile.size())));
    if (!utf8.hasError())
        return text;
    return QString::fromStdString(Win1252ToUtf8(zeile));
}

} // namespace

TVKT_InfoProtParser::TVKT_InfoProtParser(QWidget* parent)
    : QDialog(parent), FParser(std::make_unique<InfoProtParser>()), FPumpe(std::make_unique<FensterPumpe>()) {
    setObjectName(QStringLiteral("VKT_InfoProtParser"));
    setWindowTitle(QStringLiteral("Protokolle auswerten"));
    createWidgets();
    FormCreate();
}

TVKT_InfoProtParser::~TVKT_InfoProtParser() {
    FormDestroy();
}

void TVKT_InfoProtParser::createWidgets() {
    pnlTop = new QLabel(QStringLiteral("Auswertungen von Infoprotokollen"), this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setAlignment(Qt::AlignCenter);
    pnlTop->setFrameShape(QFrame::Panel);
    pnlTop->setFrameShadow(QFrame::Raised);
    pnlTop->setMargin(8);
    QFont titel = pnlTop->font();
    titel.setBold(true);
    titel.setPointSizeF(titel.pointSizeF() * 1.3);
    pnlTop->setFont(titel);

    memoOutput = new QPlainTextEdit(this);
    memoOutput->setObjectName(QStringLiteral("memoOutput"));
    memoOutput->setReadOnly(true);
    memoOutput->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Paths and report lines are read by their columns: no wrapping, a fixed font.
    memoOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoOutput->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    lblPfad = new QLabel(QStringLiteral("Infoprotverzeichnis:"), this);
    lblPfad->setObjectName(QStringLiteral("lblPfad"));
    edtPfad = new QLineEdit(this);
    edtPfad->setObjectName(QStringLiteral("edtPfad"));
    edtPfad->setMaxLength(255);
    lblPfad->setBuddy(edtPfad);

    lbl_Zeiteingrenzung = new QLabel(QStringLiteral("Zeitliche Eingrenzung:"), this);
    lbl_Zeiteingrenzung->setObjectName(QStringLiteral("lbl_Zeiteingrenzung"));
    auto datumsfeld = [this](const char* name) {
        auto* e = new QDateEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        // German date entry, ten characters.
        e->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        e->setCalendarPopup(true);
        return e;
    };
    lblCSV_Von = new QLabel(QStringLiteral("Auswerten der Daten vom "), this);
    lblCSV_Von->setObjectName(QStringLiteral("lblCSV_Von"));
    edtDatumCSV_Von = datumsfeld("edtDatumCSV_Von");
    lblCSV_Von->setBuddy(edtDatumCSV_Von);
    lblCSV_bis = new QLabel(QStringLiteral("bis zum"), this);
    lblCSV_bis->setObjectName(QStringLiteral("lblCSV_bis"));
    edtDatumCSV_Bis = datumsfeld("edtDatumCSV_Bis");
    lblCSV_bis->setBuddy(edtDatumCSV_Bis);

    btnStartEnde = new QPushButton(QStringLiteral("Differenz Start - Ende"), this);
    btnStartEnde->setObjectName(QStringLiteral("btnStartEnde"));
    btncsvExportz = new QPushButton(QStringLiteral("CSV-Export"), this);
    btncsvExportz->setObjectName(QStringLiteral("btncsvExportz"));
    btnFehlerAuswertung = new QPushButton(QStringLiteral("Fehler-Auswertung"), this);
    btnFehlerAuswertung->setObjectName(QStringLiteral("btnFehlerAuswertung"));
    for (QPushButton* b : {btnStartEnde, btncsvExportz, btnFehlerAuswertung}) {
        // Enter in a field must not start an evaluation.
        b->setAutoDefault(false);
        b->setMinimumWidth(150);
    }
    connect(btnStartEnde, &QPushButton::clicked, this, [this] { btnStartEndeClick(); });
    connect(btncsvExportz, &QPushButton::clicked, this, [this] { btncsvExportzClick(); });
    connect(btnFehlerAuswertung, &QPushButton::clicked, this, [this] { btnFehler_AuswertungClick(); });

    auto* eingaben = new QGridLayout;
    eingaben->addWidget(lblPfad, 0, 0);
    eingaben->addWidget(edtPfad, 0, 1, 1, 5);
    eingaben->addWidget(lbl_Zeiteingrenzung, 1, 0);
    eingaben->addWidget(lblCSV_Von, 1, 1);
    eingaben->addWidget(edtDatumCSV_Von, 1, 2);
    eingaben->addWidget(lblCSV_bis, 1, 3);
    eingaben->addWidget(edtDatumCSV_Bis, 1, 4);
    eingaben->setColumnStretch(5, 1);

    auto* knoepfe = new QHBoxLayout;
    knoepfe->addWidget(btnStartEnde);
    knoepfe->addWidget(btncsvExportz);
    knoepfe->addWidget(btnFehlerAuswertung);
    knoepfe->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pnlTop);
    layout->addWidget(memoOutput, 1);
    layout->addLayout(eingaben);
    layout->addLayout(knoepfe);

    resize(760, 560);
}

void TVKT_InfoProtParser::FormCreate() {
    try {
        FParser->OnAusgabeZeile = [this](const std::string& zeile) { Ausgabe(zeile); };
        FParser->OnAusgabeLeeren = [this] { memoOutput->clear(); };
        FParser->Fortschritt = FPumpe.get();
        for (const std::string& zeile : InfoProtParser::HilfeZeilen())
            memoOutput->appendPlainText(Anzeigetext(zeile));
        memoOutput->moveCursor(QTextCursor::Start);

        const TDateTime jetzt = qvr_Now();
        SetAsDate(edtDatumCSV_Von, jetzt.addDays(-10));
        SetAsDate(edtDatumCSV_Bis, jetzt);
        // The folder as set, also when it is missing: the evaluation says so when it runs.
        edtPfad->setText(QString::fromStdString(GetDirWwsByName(TQVRFolder::InfoProt, "", false)));
    } catch (...) {
        RegisterCurrentException("TORVA_MainForm.FormCreate");
    }
}

void TVKT_InfoProtParser::FormDestroy() {
    try {
        // Nothing may call back into the widgets that are going.
        if (FParser) {
            FParser->OnAusgabeZeile = nullptr;
            FParser->OnAusgabeLeeren = nullptr;
            FParser->Fortschritt = &NullProgress();
        }
        FParser.reset();
    } catch (...) {
        RegisterCurrentException("TORVA_MainForm.FormDestroy");
    }
}

TDateTime TVKT_InfoProtParser::GetAsDate(const QDateEdit* edit) {
    const QDate d = edit->date();
    return EncodeDate(d.year(), d.month(), d.day());
}

void TVKT_InfoProtParser::SetAsDate(QDateEdit* edit, TDateTime value) {
    const DateParts d = DecodeDate(value);
    edit->setDate(QDate(d.year, d.month, d.day));
}

void TVKT_InfoProtParser::FelderUebernehmen() {
    FParser->edtPfad = edtPfad->text().toStdString();
    FParser->edtDatumCSV_Von = DateToStr(GetAsDate(edtDatumCSV_Von));
    FParser->edtDatumCSV_Bis = DateToStr(GetAsDate(edtDatumCSV_Bis));
}

void TVKT_InfoProtParser::FelderAnzeigen() {
    TDateTime d;
    if (TryStrToDate(FParser->edtDatumCSV_Von, d))
        SetAsDate(edtDatumCSV_Von, d);
    if (TryStrToDate(FParser->edtDatumCSV_Bis, d))
        SetAsDate(edtDatumCSV_Bis, d);
}

void TVKT_InfoProtParser::Ausgabe(const std::string& zeile) {
    memoOutput->appendPlainText(Anzeigetext(zeile));
    // Each line shows when it is written, not when the evaluation is done.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

template <typename F> void TVKT_InfoProtParser::Ausfuehren(F&& aktion) {
    if (FBeschaeftigt)
        return;
    FBeschaeftigt = true;
    for (QWidget* w : std::initializer_list<QWidget*>{edtPfad, edtDatumCSV_Von, edtDatumCSV_Bis, btnStartEnde,
                                                      btncsvExportz, btnFehlerAuswertung})
        w->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Zurueck {
        TVKT_InfoProtParser* f;
        ~Zurueck() {
            QApplication::restoreOverrideCursor();
            for (QWidget* w :
                 std::initializer_list<QWidget*>{f->edtPfad, f->edtDatumCSV_Von, f->edtDatumCSV_Bis,
                                                 f->btnStartEnde, f->btncsvExportz, f->btnFehlerAuswertung})
                w->setEnabled(true);
            f->FBeschaeftigt = false;
        }
    } zurueck{this};
    FelderUebernehmen();
    aktion();
}

void TVKT_InfoProtParser::btnStartEndeClick() {
    try {
        Ausfuehren([this] { FParser->btnStartEndeClick(); });
    } catch (...) {
        RegisterCurrentException(kKlasse + "btnStartEndeClick");
    }
}

void TVKT_InfoProtParser::btncsvExportzClick() {
    try {
        Ausfuehren([this] { FParser->btncsvExportzClick(); });
    } catch (...) {
        RegisterCurrentException(kKlasse + "btncsvExportzClick");
    }
}

void TVKT_InfoProtParser::btnFehler_AuswertungClick() {
    try {
        Ausfuehren([this] { FParser->btnFehler_AuswertungClick(); });
    } catch (...) {
        RegisterCurrentException(kKlasse + "btnFehler_AuswertungClick");
    }
}

void TVKT_InfoProtParser::AutoExecute(int VonTage, int BisTage, const std::string& Kunde,
                                      const std::string& Empf) {
    try {
        Ausfuehren([&] { infemora::AutoExecute(*FParser, VonTage, BisTage, Kunde, Empf); });
        FelderAnzeigen();
    } catch (...) {
        RegisterCurrentException(kKlasse + "AutoExecute");
    }
}

void TVKT_InfoProtParser::reject() {
    // Closing while an evaluation runs would leave it writing into a window that is gone.
    if (!FBeschaeftigt)
        QDialog::reject();
}

void TVKT_InfoProtParser::closeEvent(QCloseEvent* event) {
    if (FBeschaeftigt)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

} // namespace infemora
