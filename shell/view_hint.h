#pragma once
// A line of text in the middle of an empty view that says why it is empty: a log that is
// missing or being written, a period without entries. It goes when the view gets lines.
#include <QString>

class QAbstractScrollArea;

namespace infemora {

class LogTextView;

// An empty text removes the hint.
void SetViewHint(LogTextView* view, const QString& text);
QString ViewHint(const QAbstractScrollArea* view);

} // namespace infemora
