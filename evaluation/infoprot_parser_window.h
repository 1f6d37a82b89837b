#pragma once
// TVKT_InfoProtParser: the evaluation window behind "Protokolle auswerten". It keeps the
// evaluation of one directory for its life, copies its fields into it before each action and
// shows in memoOutput what the evaluation writes. The unattended run uses it without showing it.
#include <QDialog>
#include <memory>
#include <string>

class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace infemora {

class InfoProtParser;
class IProgress;
struct TDateTime;

class TVKT_InfoProtParser : public QDialog {
    Q_OBJECT
public:
    explicit TVKT_InfoProtParser(QWidget* parent = nullptr);
    ~TVKT_InfoProtParser() override;

    void btnStartEndeClick();
    void btncsvExportzClick();
    void btnFehler_AuswertungClick();
    // The unattended evaluation: the window is never shown.
    void AutoExecute(int VonTage, int BisTage, const std::string& Kunde, const std::string& Empf);

    // The evaluation behind the window (FFehlerList, FListeNichtGelesen and the counters).
    InfoProtParser& Parser() { return *FParser; }

    // The host's date field: the value of a date edit as a date and back.
    static TDateTime GetAsDate(const QDateEdit* edit);
    static void SetAsDate(QDateEdit* edit, TDateTime value);

    QLabel* pnlTop = nullptr;
    QPlainTextEdit* memoOutput = nullptr;
    QLabel* lblPfad = nullptr;
    QLineEdit* edtPfad = nullptr;
    QLabel* lbl_Zeiteingrenzung = nullptr;
    QLabel* lblCSV_Von = nullptr;
    QDateEdit* edtDatumCSV_Von = nullptr;
    QLabel* lblCSV_bis = nullptr;
    QDateEdit* edtDatumCSV_Bis = nullptr;
    QPushButton* btnStartEnde = nullptr;
    QPushButton* btncsvExportz = nullptr;
    QPushButton* btnFehlerAuswertung = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createWidgets();
    void FormCreate();
    void FormDestroy();
    // Widgets to the evaluation before an action, and back after the unattended run.
    void FelderUebernehmen();
    void FelderAnzeigen();
    void Ausgabe(const std::string& zeile);
    // Runs one action with the controls locked, so that no second one starts meanwhile.
    template <typename F> void Ausfuehren(F&& aktion);

    std::unique_ptr<InfoProtParser> FParser;
    std::unique_ptr<IProgress> FPumpe;
    bool FBeschaeftigt = false;
};

} // namespace infemora
