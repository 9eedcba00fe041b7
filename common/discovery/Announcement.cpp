#include "common/discovery/Announcement.h"

#include "common/discovery/DeviceRecord.h"

#include <cstdint>

namespace {

constexpr std::string_view kTemplate = "Hello there. I am at %d.%d.%d.%d. Time is %ld and I am "
                                       "hungry.Hostname:<%[^>]>.CPU:<%[^>]>";
// Read again, for the CPU only, when the host name between the angle brackets is empty.
constexpr std::string_view kEmptyHostTemplate =
    "Hello there. I am at %s Time is %s and I am hungry.Hostname:<>.CPU:<%[^>]>";

bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where a conversion stores its value: a number, a text, or nowhere (both null).
struct ScanTarget {
    int64_t* number = nullptr;
    std::string* text = nullptr;
};

class Scanner {
public:
    explicit Scanner(std::string_view text) : m_text(text) {}

    // Matches the format against the text the way scanf does for the directives used here
    // (blanks, ordinary characters, %d, %ld, %s, %[^>]). Returns how many conversions were
    // stored before matching stopped.
    int Scan(std::string_view format, const ScanTarget* targets, int targetCount) {
        int stored = 0;
        std::size_t f = 0;
        while (f < format.size()) {
            const char directive = format[f];
            if (IsScanSpace(directive)) {
                SkipSpace();
                while (f < format.size() && IsScanSpace(format[f])) {
                    ++f;
                }
                continue;
            }
            if (directive != '%') {
                if (AtEnd() || Peek() != directive) {
                    return stored;
                }
                ++m_pos;
                ++f;
                continue;
            }
            const std::string_view conversion = format.substr(f);
            const ScanTarget target = stored < targetCount ? targets[stored] : ScanTarget{};
            bool ok = false;
            if (conversion.starts_with("%ld")) {
                ok = ScanInteger(target);
                f += 3;
            } else if (conversion.starts_with("%d")) {
                ok = ScanInteger(target);
                f += 2;
            } else if (conversion.starts_with("%s")) {
                ok = ScanWord(target);
                f += 2;
            } else if (conversion.starts_with("%[^>]")) {
                ok = ScanUntil('>', target);
                f += 5;
            }
            if (!ok) {
                return stored;
            }
            ++stored;
        }
        return stored;
    }

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return m_text[m_pos]; }

    void SkipSpace() {
        while (!AtEnd() && IsScanSpace(Peek())) {
            ++m_pos;
        }
    }

    // Leading white space, an optional sign, then at least one decimal digit. The value saturates
    // instead of wrapping, so that no run of digits other than zeros reads as 0.
    bool ScanInteger(const ScanTarget& target) {
        SkipSpace();
        if (AtEnd()) {
            return false;
        }
        bool negative = false;
        if (Peek() == '+' || Peek() == '-') {
            negative = Peek() == '-';
            ++m_pos;
        }
        if (AtEnd() || !IsDigit(Peek())) {
            return false;
        }
        int64_t value = 0;
        while (!AtEnd() && IsDigit(Peek())) {
            const int digit = Peek() - '0';
            value = value > (INT64_MAX - digit) / 10 ? INT64_MAX : value * 10 + digit;
            ++m_pos;
        }
        if (target.number) {
            *target.number = negative ? -value : value;
        }
        return true;
    }

    bool ScanWord(const ScanTarget& target) {
        SkipSpace();
        const std::size_t start = m_pos;
        while (!AtEnd() && !IsScanSpace(Peek())) {
            ++m_pos;
        }
        if (m_pos == start) {
            return false;
        }
        Store(target, m_text.substr(start, m_pos - start));
        return true;
    }

    // A scan set never skips white space and needs at least one character. The whole run is
    // consumed even when only its first part is kept, so the pieces after it still match.
    bool ScanUntil(char stop, const ScanTarget& target) {
        const std::size_t start = m_pos;
        while (!AtEnd() && Peek() != stop) {
            ++m_pos;
        }
        if (m_pos == start) {
            return false;
        }
        Store(target, m_text.substr(start, m_pos - start));
        return true;
    }

    static void Store(const ScanTarget& target, std::string_view value) {
        if (target.text) {
            *target.text = CutText(value);
        }
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

Announcement ParseAnnouncement(std::string_view datagram) {
    const std::string_view text = datagram.substr(0, datagram.find('\0'));

    Announcement result;
    const ScanTarget targets[] = {{&result.announcedAddress[0]},
                                  {&result.announcedAddress[1]},
                                  {&result.announcedAddress[2]},
                                  {&result.announcedAddress[3]},
                                  {&result.time},
                                  {nullptr, &result.hostName},
                                  {nullptr, &result.cpu}};
    result.matchedFields = Scanner(text).Scan(kTemplate, targets, std::size(targets));

    // Exactly the numbers and the time: either an older server without a host name piece, or one
    // that announces an empty host name (scanf cannot match "<>"), whose CPU comes after it.
    const bool stoppedAtHostName = result.matchedFields == 5;
    if (stoppedAtHostName && text.find("Hostname") != std::string_view::npos &&
        text.find("CPU") != std::string_view::npos) {
        result.hostName.clear();
        const ScanTarget cpuOnly[] = {{}, {}, {nullptr, &result.cpu}};
        Scanner(text).Scan(kEmptyHostTemplate, cpuOnly, std::size(cpuOnly));
    }
    return result;
}

bool IsAcceptedAnnouncement(const Announcement& announcement) {
    if (announcement.time == 0) {
        return false;
    }
    for (const int64_t number : announcement.announcedAddress) {
        if (number != 0) {
            return true;
        }
    }
    return false;
}
