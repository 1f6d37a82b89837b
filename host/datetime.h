#pragma once
// The program family's date-time: a day number counted from 30.12.1899 with the time of
// day as fraction. Kept as whole milliseconds so that bounds such as 23:59:59.099 compare
// exactly and sums never drift.
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace infemora {

constexpr std::int64_t MsPerSecond = 1000;
constexpr std::int64_t MsPerDay = 86'400'000;

struct TDateTime {
    std::int64_t ms = 0; // milliseconds since 30.12.1899 00:00 (negative before)

    constexpr TDateTime() = default;
    constexpr explicit TDateTime(std::int64_t milliseconds) : ms(milliseconds) {}
    constexpr auto operator<=>(const TDateTime&) const = default;

    constexpr bool isZero() const { return ms == 0; }
    // Whole days since 30.12.1899 (floor, also for dates before it).
    constexpr std::int64_t day() const {
        return ms >= 0 ? ms / MsPerDay : -((-ms + MsPerDay - 1) / MsPerDay);
    }
    constexpr std::int64_t timeMs() const { return ms - day() * MsPerDay; }
    constexpr TDateTime dateOnly() const { return TDateTime(day() * MsPerDay); }
    constexpr TDateTime addDays(std::int64_t n) const { return TDateTime(ms + n * MsPerDay); }
    constexpr TDateTime operator+(TDateTime o) const { return TDateTime(ms + o.ms); }
};

struct DateParts {
    int year = 1899, month = 12, day = 30;
};
struct TimeParts {
    int hour = 0, minute = 0, second = 0, msec = 0;
};

bool IsValidDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime EncodeDate(int year, int month, int day); // EConvertError when invalid
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
TDateTime EncodeTime(int hour, int minute, int second, int msec); // EConvertError when invalid
DateParts DecodeDate(TDateTime dt);
TimeParts DecodeTime(TDateTime dt);

// Eight digits year, month, day ("20261208") to a date; EConvertError when no date.
TDateTime JJJJMMTT2Date(std::string_view digits);
bool TryJJJJMMTT2Date(std::string_view digits, TDateTime& out);

// Text to integer as the program family converts numbers: optional blanks around, optional
// sign, decimal digits; anything else is no number.
bool TryStrToInt(std::string_view text, long long& out);
int StrToIntDef(std::string_view text, int def);
// Integer to text as printf's "%0Nd" (fill '0') or "%Nd" (fill ' ') writes it: at least width
// characters, the sign counted, appended to out.
void AppendPaddedInt(std::string& out, long long value, int width, char fill);

// Current local date-time, and the time stamp used for export names.
TDateTime qvr_Now();
TDateTime qvr_SyncTime();
TDateTime Today();
// Tests freeze the clock; 0 lets it run again.
void SetClockForTesting(TDateTime fixed);

// The modification time of a file as local date-time.
TDateTime FromUnixTime(std::int64_t secondsSinceEpoch, std::int64_t nanos = 0);

// Formats with the tokens yyyy yy MM M dd d HH H hh mm nn ss zzz; any other character is
// copied. "nn" is a minute like "mm" (the export names use it).
std::string FormatDateTime(std::string_view format, TDateTime dt);

// The locale formats of the settings (German by default), never the machine's locale: the
// logs are written by German programs.
struct LocaleFormats {
    std::string shortDate = "dd.MM.yyyy";
    std::string longTime = "HH:mm:ss";
};
const LocaleFormats& Formats();
void SetFormats(const LocaleFormats& formats);

std::string DateToStr(TDateTime dt);
std::string TimeToStr(TDateTime dt);
std::string DateTimeToStr(TDateTime dt); // date, blank, time; the time left out at 00:00:00

// Locale short date: the short date format; a two-digit year (dd.MM.yy) reads as 20yy, as the
// locale conversion accepts both. Blanks around are ignored.
bool TryStrToDate(std::string_view text, TDateTime& out);
TDateTime StrToDate(std::string_view text); // EConvertError
// Locale time: H:mm[:ss[.zzz]] or as the long time format gives it.
bool TryStrToTime(std::string_view text, TDateTime& out);
TDateTime StrToTime(std::string_view text); // EConvertError

} // namespace infemora
