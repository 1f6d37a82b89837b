#include "shell/status_bar.h"

#include <QLabel>

namespace infemora {

namespace {

constexpr int kMeldungMs = 10'000;

} // namespace

TStatusZeile::TStatusZeile(QWidget* parent) : QStatusBar(parent) {
    setObjectName("stbStatus");
    lblDateienZeilen = addField("lblDateienZeilen");
    lblFilter = addField("lblFilter");
    lblCursor = addField("lblCursor");
}

QLabel* TStatusZeile::addField(const char* objectName, int stretch) {
    auto* label = new QLabel(this);
    label->setObjectName(objectName);
    label->setContentsMargins(6, 0, 6, 0);
    addPermanentWidget(label, stretch);
    return label;
}

void TStatusZeile::setDateienZeilen(const QString& text) {
    lblDateienZeilen->setText(text);
}

void TStatusZeile::setFilter(const QString& text) {
    lblFilter->setText(text);
}

void TStatusZeile::setCursorText(const QString& text) {
    lblCursor->setText(text);
}

void TStatusZeile::meldung(const QString& text) {
    showMessage(text, kMeldungMs);
}

} // namespace infemora
