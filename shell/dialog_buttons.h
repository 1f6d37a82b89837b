#pragma once
// The button row of the program's small dialogs: "OK" (the default, so Enter acts as OK) and
// "Abbruch" (Escape acts as Abbruch), right-aligned.
class QBoxLayout;
class QDialog;
class QPushButton;

namespace infemora {

QBoxLayout* OkAbbruchZeile(QDialog* dialog, QPushButton*& ok, QPushButton*& abbruch);

} // namespace infemora
