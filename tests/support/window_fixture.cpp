#include "support/window_fixture.h"

#include "host/fileutil.h"
#include "textview/log_text_view.h"

#include <QListWidget>

namespace infemora::testenv {

Lines ViewLines(const LogTextView* view) {
    Lines out;
    for (std::int64_t i = 0; i < view->lineCount(); ++i)
        out.push_back(view->line(i));
    return out;
}

QStringList ListTexts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

Lines Entry(const std::string& yyyymmdd, const std::string& hhmmss, const std::string& text) {
    return {"00001<< Eintrag", "00001## " + yyyymmdd + " " + hhmmss + " KASSE1 TESTPRG", "     " + text};
}

std::unique_ptr<TfrmParallel> WindowSite::start(const std::vector<std::string>& args) {
    SetSettingsForTesting(settings());
    return std::make_unique<TfrmParallel>(args);
}

} // namespace infemora::testenv
