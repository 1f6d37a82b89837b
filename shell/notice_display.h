#pragma once
// Shows what the message service registers, without blocking the code that registered it: one
// notice that collects the failures and one for catalogue messages. A notice belongs to the
// window the user is looking at: it is parented to it, modal to it, raised and active, so that
// no window manager can stack it behind. Its first line says in German what happened and what
// to do; the routine and the system's wording are under "Details". Unattended runs install
// nothing, so they never show a window.
class QWidget;

namespace infemora {

void InstallGuiNotices(QWidget* parent);
void RemoveGuiNotices();

// The window a notice shown now would belong to: the active modal window, else the active
// window, else the visible main window; never a notice or the progress window. Null when the
// program shows no window.
QWidget* NoticeParent();

// The notice now shown, if any (for the busy state's end, which activates it rather than the
// window behind it).
QWidget* VisibleNotice();

} // namespace infemora
