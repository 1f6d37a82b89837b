#pragma once
// The rules by which the filter dialog turns its four texts into the bounds of the date-time
// window. Kept apart from the dialog so that the CLI makes its bounds the same way.
#include "host/datetime.h"

#include <string>

namespace infemora {

enum class SelektionFeld { Keines, VonDatum, VonZeit, BisDatum, BisZeit };

struct SelektionTexte {
    std::string vonDatum, vonZeit, bisDatum, bisZeit; // Windows-1252, as typed
};

struct SelektionErgebnis {
    bool ok = false;
    TDateTime von, bis;
    // When not ok: the field that is emptied and gets the focus.
    SelektionFeld leeren = SelektionFeld::Keines;
};

// The end of a day as the dialog makes it: 23:59:59 and 99 milliseconds.
TDateTime SelektionTagesende();

SelektionErgebnis SelektionPruefen(const SelektionTexte& t);

} // namespace infemora
