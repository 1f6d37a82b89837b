#pragma once
// Shows what the message service registers, without blocking: one notice window that collects
// the messages. Unattended runs install nothing, so they never show a window.
class QWidget;

namespace infemora {

void InstallGuiNotices(QWidget* parent);
void RemoveGuiNotices();

} // namespace infemora
