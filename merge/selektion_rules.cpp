#include "merge/selektion_rules.h"

namespace infemora {

namespace {

bool blank(const std::string& s) {
    return s.find_first_not_of(" \t") == std::string::npos;
}

std::string trimmed(const std::string& s) {
    auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

} // namespace

TDateTime SelektionTagesende() {
    return EncodeTime(23, 59, 59, 99);
}

SelektionErgebnis SelektionPruefen(const SelektionTexte& t) {
    SelektionErgebnis r;
    TDateTime vonDatum, vonZeit, bisDatum, bisZeit;
    if (!blank(t.vonDatum) && !TryStrToDate(t.vonDatum, vonDatum)) {
        r.leeren = SelektionFeld::VonDatum;
        return r;
    }
    if (!blank(t.vonZeit) && !TryStrToTime(t.vonZeit, vonZeit)) {
        r.leeren = SelektionFeld::VonZeit;
        return r;
    }
    r.von = vonDatum + vonZeit;
    if (blank(t.bisDatum))
        bisDatum = Today();
    else if (!TryStrToDate(t.bisDatum, bisDatum)) {
        r.leeren = SelektionFeld::BisDatum;
        return r;
    }
    if (blank(t.bisZeit))
        bisZeit = SelektionTagesende();
    else if (!TryStrToTime(t.bisZeit, bisZeit)) {
        r.leeren = SelektionFeld::BisZeit;
        return r;
    }
    r.bis = bisDatum + bisZeit;
    if (r.von <= r.bis) {
        r.ok = true;
        return r;
    }
    r.leeren = trimmed(t.vonDatum) == trimmed(t.bisDatum) ? SelektionFeld::BisZeit : SelektionFeld::BisDatum;
    return r;
}

} // namespace infemora
