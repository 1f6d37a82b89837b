// The line tests and the one-pass split of merge and shorten.
#include "archive/kuerzen_run.h"

#include "host/errors.h"
#include "host/messages.h"
#include "merge/infoprot_layout.h"
#include "textview/line_scanner.h"

#include <algorithm>
#include <cstring>

namespace infemora {

namespace {

// Lines are checked for messages to run at every 250th line.
constexpr std::size_t kPumpZeilen = 250;

// Characters up to and including the blank count as blanks or control characters.
bool istLeerzeichen(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::size_t getrimmteLaenge(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && istLeerzeichen(s[b]))
        ++b;
    while (e > b && istLeerzeichen(s[e - 1]))
        --e;
    return e - b;
}

// A separator line without content: it belongs to the entry after it.
constexpr std::size_t kTrennzeileLaenge = 6;

// Positions 9 to 16 of a line (1-based), as far as the line reaches.
std::string_view teilText(std::string_view s, std::size_t start, std::size_t count) {
    if (start >= s.size())
        return {};
    return s.substr(start, count);
}

} // namespace

TDateTime KuerzStichtag(int kuerzTage) {
    return Today().dateOnly().addDays(-static_cast<std::int64_t>(kuerzTage));
}

bool CheckInfoDatum(std::string_view line, std::string_view nextLine, TDateTime stichtag) {
    try {
        if (!IstStartZeile(line) || !IstZeitstempelZeile(nextLine))
            return true;
        TDateTime datum;
        // Date digits that are no date leave the old part going on.
        if (!TryJJJJMMTT2Date(teilText(nextLine, 8, 8), datum))
            return true;
        return datum < stichtag;
    } catch (const EConvertError&) {
        return true;
    } catch (...) {
        RegisterCurrentException("CheckInfoDatum");
        return false;
    }
}

bool CheckTransferDatum(std::string_view line, TDateTime stichtag) {
    TDateTime datum;
    if (!TryJJJJMMTT2Date(teilText(line, 0, 8), datum))
        return true;
    return datum < stichtag;
}

bool CheckMenuDatum(std::string_view line, TDateTime stichtag) {
    auto pos = line.find('\xF8');
    std::string_view text = pos == std::string_view::npos ? std::string_view() : line.substr(0, pos);
    TDateTime datum;
    if (!TryStrToDate(text, datum))
        datum = TDateTime();
    return datum < stichtag;
}

std::int64_t InfoSchnitt(const LogDocument& text, TDateTime stichtag, IProgress& progress) {
    const std::int64_t count = text.lineCount();
    LineScanner scan(text, 0, count);
    // Lines j - 2 and j - 1 while line j is read: a pair is tested once its second line is there.
    std::string vorletzte, letzte;
    std::int64_t j = 0;
    std::string_view zeile;
    while (scan.next(j, zeile)) {
        if (j % static_cast<std::int64_t>(kPumpZeilen) == 0) {
            progress.Step(j, count);
            progress.Pump();
        }
        const std::int64_t i = j - 1;
        if (i >= 0 && i + 2 < count && !CheckInfoDatum(letzte, zeile, stichtag))
            return i > 0 && getrimmteLaenge(vorletzte) < kTrennzeileLaenge ? i - 1 : i;
        vorletzte.swap(letzte);
        letzte.assign(zeile);
    }
    return count;
}

void InfoSchnittSuche::content(const char* from, const char* to, std::uint64_t offset) {
    // Once the cut is known, the lines are only counted.
    if (schnitt_)
        return;
    Zeile& z = aktuell_;
    if (z.kopfLaenge < sizeof z.kopf) {
        const std::size_t n = std::min(sizeof z.kopf - z.kopfLaenge, static_cast<std::size_t>(to - from));
        std::memcpy(z.kopf + z.kopfLaenge, from, n);
        z.kopfLaenge += n;
    }
    const char* p = from;
    if (!z.inhalt) {
        while (p < to && istLeerzeichen(*p))
            ++p;
        if (p == to)
            return;
        z.inhalt = true;
        z.erstesZeichen = offset + static_cast<std::uint64_t>(p - from);
    }
    const char* q = to;
    while (q > p && istLeerzeichen(q[-1]))
        --q;
    if (q > p)
        z.letztesZeichen = offset + static_cast<std::uint64_t>(q - 1 - from);
}

void InfoSchnittSuche::line(std::uint64_t start, std::uint64_t /*length*/, LineBreak /*lineBreak*/) {
    // Line j is complete, so the pair (j - 2, j - 1) is one with a line after it.
    const std::int64_t j = zeilen_++;
    aktuell_.start = start;
    if (!schnitt_ && j >= 2 && !CheckInfoDatum(zeile2_.kopfText(), zeile1_.kopfText(), stichtag_)) {
        const std::int64_t i = j - 2;
        const bool trennzeile = i > 0 && zeile3_.getrimmt() < kTrennzeileLaenge;
        schnittZeile_ = trennzeile ? i - 1 : i;
        schnitt_ = trennzeile ? zeile3_.start : zeile2_.start;
    }
    if (!schnitt_) {
        zeile3_ = zeile2_;
        zeile2_ = zeile1_;
        zeile1_ = aktuell_;
    }
    aktuell_ = Zeile{};
}

std::optional<std::uint64_t> InfoSchnittSuche::Feed(const char* data, std::size_t size) {
    zeilenweise_.feed(data, size);
    return schnitt_;
}

std::optional<std::uint64_t> InfoSchnittSuche::Finish() {
    zeilenweise_.finish();
    return schnitt_;
}

void ZeilenAufteilen(Lines& arbeit, const std::function<bool(std::string_view)>& istAlt, Lines& alt,
                     Lines& neu, IProgress& progress) {
    const std::size_t count = arbeit.size();
    bool old = true;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % kPumpZeilen == 0) {
            progress.Step(static_cast<std::int64_t>(i), static_cast<std::int64_t>(count));
            progress.Pump();
        }
        if (old && !istAlt(arbeit[i]))
            old = false;
        (old ? alt : neu).push_back(std::move(arbeit[i]));
    }
    arbeit.clear();
}

void InfoAufteilen(Lines& arbeit, TDateTime stichtag, Lines& alt, Lines& neu, IProgress& progress) {
    const std::size_t count = arbeit.size();
    bool old = true;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % kPumpZeilen == 0) {
            progress.Step(static_cast<std::int64_t>(i), static_cast<std::int64_t>(count));
            progress.Pump();
        }
        // Only a line with two lines after it is tested: an entry needs its stamp line, and the
        // last two lines of the text never end the old part.
        if (old && i + 2 < count && !CheckInfoDatum(arbeit[i], arbeit[i + 1], stichtag)) {
            old = false;
            if (!alt.empty() && getrimmteLaenge(alt.back()) < kTrennzeileLaenge) {
                neu.push_back(std::move(alt.back()));
                alt.pop_back();
            }
        }
        (old ? alt : neu).push_back(std::move(arbeit[i]));
    }
    arbeit.clear();
}

} // namespace infemora
