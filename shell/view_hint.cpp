#include "shell/view_hint.h"

#include "textview/log_text_view.h"

#include <QLabel>
#include <QVBoxLayout>

namespace infemora {

namespace {

const char* const kName = "lblAnsichtHinweis";

QLabel* hinweisLabel(const QAbstractScrollArea* view) {
    return view->viewport()->findChild<QLabel*>(kName, Qt::FindDirectChildrenOnly);
}

} // namespace

void SetViewHint(LogTextView* view, const QString& text) {
    QLabel* label = hinweisLabel(view);
    if (!label) {
        if (text.isEmpty())
            return;
        label = new QLabel(view->viewport());
        label->setObjectName(kName);
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, pal.color(QPalette::Disabled, QPalette::Text));
        label->setPalette(pal);
        label->setFont(QFont()); // the program's font, not the view's fixed one
        auto* layout = new QVBoxLayout(view->viewport());
        layout->setContentsMargins(24, 24, 24, 24);
        layout->addWidget(label);
        // A view that gets lines needs no word why it is empty.
        QObject::connect(view, &LogTextView::selectionChanged, label, [view, label] {
            if (view->lineCount() > 0) {
                label->clear();
                label->hide();
            }
        });
    }
    label->setText(text);
    label->setVisible(!text.isEmpty() && view->lineCount() == 0);
}

QString ViewHint(const QAbstractScrollArea* view) {
    QLabel* label = hinweisLabel(view);
    return label && label->isVisibleTo(view->viewport()) ? label->text() : QString();
}

} // namespace infemora
