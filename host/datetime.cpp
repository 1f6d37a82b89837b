#include "host/datetime.h"

#include "host/errors.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

namespace infemora {

namespace {

std::atomic<std::int64_t> g_frozenClock{0};
LocaleFormats g_formats;

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Days since 01.01.0001 (proleptic Gregorian) of the given date, 0-based.
std::int64_t daysFromCivil(int y, int m, int d) {
    // Howard Hinnant's algorithm, shifted to the 1899-12-30 epoch below.
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468; // days since 1970-01-01
}

constexpr std::int64_t kEpochOffsetDays = 25569; // 1970-01-01 minus 1899-12-30

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

void pad(std::string& out, int value, int width) {
    AppendPaddedInt(out, value, width, '0');
}

// Reads the numbers of a date or time text in the order the format names them.
struct Fields {
    int day = -1, month = -1, year = -1, yearDigits = 0, hour = -1, minute = -1, second = -1, msec = 0;
};

// Splits text at any non-digit separator into digit groups; the format decides their meaning.
bool parseByFormat(std::string_view text, std::string_view format, Fields& f) {
    // Order of fields in the format.
    std::string order;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == 'd' || c == 'M' || c == 'y' || c == 'H' || c == 'h' || c == 'm' || c == 'n' || c == 's' ||
            c == 'z') {
            char key = (c == 'h') ? 'H' : (c == 'n') ? 'm' : c;
            if (order.empty() || order.back() != key)
                order += key;
            while (i + 1 < format.size() && format[i + 1] == c)
                ++i;
        }
    }
    std::vector<std::string_view> groups;
    size_t i = 0;
    while (i < text.size()) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            size_t j = i;
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
                ++j;
            groups.push_back(text.substr(i, j - i));
            i = j;
        } else {
            char c = text[i];
            if (c != '.' && c != ':' && c != '-' && c != '/' && c != ' ')
                return false;
            if (i + 1 < text.size() && !std::isdigit(static_cast<unsigned char>(text[i + 1])) && c != ' ')
                return false;
            ++i;
        }
    }
    if (groups.empty() || groups.size() > order.size())
        return false;
    for (size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].size() > 4)
            return false;
        int v = std::stoi(std::string(groups[g]));
        switch (order[g]) {
        case 'd':
            f.day = v;
            break;
        case 'M':
            f.month = v;
            break;
        case 'y':
            f.year = v;
            f.yearDigits = static_cast<int>(groups[g].size());
            break;
        case 'H':
            f.hour = v;
            break;
        case 'm':
            f.minute = v;
            break;
        case 's':
            f.second = v;
            break;
        case 'z':
            f.msec = v;
            break;
        }
    }
    return true;
}

} // namespace

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (!IsValidDate(year, month, day))
        return false;
    out = TDateTime((daysFromCivil(year, month, day) + kEpochOffsetDays) * MsPerDay);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r))
        throw EConvertError("Ungültiges Datum: " + std::to_string(day) + "." + std::to_string(month) + "." +
                            std::to_string(year));
    return r;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        return false;
    out = TDateTime(((hour * 60LL + minute) * 60 + second) * 1000 + msec);
    return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    TDateTime r;
    if (!TryEncodeTime(hour, minute, second, msec, r))
        throw EConvertError("Ungültige Uhrzeit: " + std::to_string(hour) + ":" + std::to_string(minute) +
                            ":" + std::to_string(second));
    return r;
}

DateParts DecodeDate(TDateTime dt) {
    DateParts p;
    civilFromDays(dt.day() - kEpochOffsetDays, p.year, p.month, p.day);
    return p;
}

TimeParts DecodeTime(TDateTime dt) {
    std::int64_t t = dt.timeMs();
    TimeParts p;
    p.msec = static_cast<int>(t % 1000);
    t /= 1000;
    p.second = static_cast<int>(t % 60);
    t /= 60;
    p.minute = static_cast<int>(t % 60);
    p.hour = static_cast<int>(t / 60);
    return p;
}

bool TryJJJJMMTT2Date(std::string_view digits, TDateTime& out) {
    if (digits.size() != 8 || !allDigits(digits))
        return false;
    int y = std::stoi(std::string(digits.substr(0, 4)));
    int m = std::stoi(std::string(digits.substr(4, 2)));
    int d = std::stoi(std::string(digits.substr(6, 2)));
    return TryEncodeDate(y, m, d, out);
}

TDateTime JJJJMMTT2Date(std::string_view digits) {
    TDateTime r;
    if (!TryJJJJMMTT2Date(digits, r))
        throw EConvertError("'" + std::string(digits) + "' ist kein gültiges Datum");
    return r;
}

void AppendPaddedInt(std::string& out, long long value, int width, char fill) {
    // Digits from the back of the buffer, then appended at once.
    char digits[24];
    char* const ende = digits + sizeof digits;
    char* p = ende;
    // Through unsigned, so that the smallest value has a magnitude too.
    unsigned long long rest =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    const int n = static_cast<int>(ende - p);
    const int length = n + (value < 0 ? 1 : 0);
    const std::size_t padding = width > length ? static_cast<std::size_t>(width - length) : 0;
    if (fill != '0')
        out.append(padding, fill);
    if (value < 0)
        out += '-';
    if (fill == '0')
        out.append(padding, '0');
    out.append(p, static_cast<std::size_t>(n));
}

bool TryStrToInt(std::string_view text, long long& out) {
    text = trim(text);
    bool neg = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        neg = text[0] == '-';
        text.remove_prefix(1);
    }
    if (!allDigits(text))
        return false;
    // Leading zeros add no digits: "000000000000000000012" is 12. More than 18 digits after
    // them could overflow and count as no number.
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    if (text.size() > 18)
        return false;
    long long v = 0;
    for (char c : text)
        v = v * 10 + (c - '0');
    out = neg ? -v : v;
    return true;
}

int StrToIntDef(std::string_view text, int def) {
    long long v;
    if (!TryStrToInt(text, v) || v < INT32_MIN || v > INT32_MAX)
        return def;
    return static_cast<int>(v);
}

TDateTime FromUnixTime(std::int64_t secs, std::int64_t nanos) {
    std::time_t t = static_cast<std::time_t>(secs);
    std::tm local{};
    localtime_r(&t, &local);
    TDateTime d = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return TDateTime(d.ms + ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 +
                     nanos / 1000000);
}

TDateTime qvr_Now() {
    std::int64_t frozen = g_frozenClock.load();
    if (frozen != 0)
        return TDateTime(frozen);
    auto now = std::chrono::system_clock::now().time_since_epoch();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    return FromUnixTime(ns / 1000000000, ns % 1000000000);
}

TDateTime qvr_SyncTime() {
    return qvr_Now();
}
TDateTime Today() {
    return qvr_Now().dateOnly();
}
void SetClockForTesting(TDateTime fixed) {
    g_frozenClock.store(fixed.ms);
}

std::string FormatDateTime(std::string_view f, TDateTime dt) {
    DateParts d = DecodeDate(dt);
    TimeParts t = DecodeTime(dt);
    std::string out;
    out.reserve(f.size() + 8);
    for (size_t i = 0; i < f.size();) {
        char c = f[i];
        size_t n = 1;
        while (i + n < f.size() && f[i + n] == c)
            ++n;
        switch (c) {
        case 'y':
            if (n >= 4)
                pad(out, d.year, 4);
            else
                pad(out, d.year % 100, 2);
            break;
        case 'M':
            pad(out, d.month, n >= 2 ? 2 : 1);
            break;
        case 'd':
            pad(out, d.day, n >= 2 ? 2 : 1);
            break;
        case 'H':
        case 'h':
            pad(out, t.hour, n >= 2 ? 2 : 1);
            break;
        case 'm':
        case 'n':
            pad(out, t.minute, n >= 2 ? 2 : 1);
            break;
        case 's':
            pad(out, t.second, n >= 2 ? 2 : 1);
            break;
        case 'z':
            pad(out, t.msec, 3);
            break;
        default:
            out.append(n, c);
            break;
        }
        i += n;
    }
    return out;
}

const LocaleFormats& Formats() {
    return g_formats;
}
void SetFormats(const LocaleFormats& formats) {
    g_formats = formats;
}

std::string DateToStr(TDateTime dt) {
    return FormatDateTime(g_formats.shortDate, dt);
}
std::string TimeToStr(TDateTime dt) {
    return FormatDateTime(g_formats.longTime, dt);
}
std::string DateTimeToStr(TDateTime dt) {
    if (dt.timeMs() == 0)
        return DateToStr(dt);
    return DateToStr(dt) + " " + TimeToStr(dt);
}

bool TryStrToDate(std::string_view text, TDateTime& out) {
    text = trim(text);
    Fields f;
    if (text.empty() || !parseByFormat(text, g_formats.shortDate, f))
        return false;
    if (f.day < 0 || f.month < 0)
        return false;
    int year = f.year;
    if (year < 0)
        year = DecodeDate(qvr_Now()).year; // day and month alone mean this year
    else if (f.yearDigits <= 2)
        year += 2000;
    return TryEncodeDate(year, f.month, f.day, out);
}

TDateTime StrToDate(std::string_view text) {
    TDateTime r;
    if (!TryStrToDate(text, r))
        throw EConvertError("'" + std::string(text) + "' ist kein gültiges Datum");
    return r;
}

bool TryStrToTime(std::string_view text, TDateTime& out) {
    text = trim(text);
    Fields f;
    if (text.empty() || !parseByFormat(text, "HH:mm:ss.zzz", f))
        return false;
    if (f.hour < 0)
        return false;
    return TryEncodeTime(f.hour, f.minute < 0 ? 0 : f.minute, f.second < 0 ? 0 : f.second, f.msec, out);
}

TDateTime StrToTime(std::string_view text) {
    TDateTime r;
    if (!TryStrToTime(text, r))
        throw EConvertError("'" + std::string(text) + "' ist keine gültige Uhrzeit");
    return r;
}

} // namespace infemora
