// The user's interface language, as a tag and the language table's number.
#pragma once

#include <string>
#include <string_view>

struct UserLanguage {
    // Lower-case language tag for the choice inside a bundle: "de-de", "de", "en-us".
    std::string tag;
    // Primary language number of the language table (7 German, 9 English, 10 Spanish, 12 French,
    // 16 Italian, 19 Dutch, ...); 0 for a language the table does not know.
    unsigned primaryLanguage = 0;
};

// A POSIX locale name ("de_DE.UTF-8", "fr_CA@euro", "nl", "C", "POSIX"). "C", "POSIX" and an
// empty or malformed name give English ("en-us", 9).
UserLanguage ParseLocaleName(std::string_view localeName);

// The primary language number of an ISO 639-1 code ("de" gives 7); 0 when unknown.
unsigned PrimaryLanguageOf(std::string_view isoLanguage);

// A Windows locale name ("de-DE", "sr-Latn-RS", "nl"): its language and its region, the
// script left out. A malformed one gives English.
UserLanguage ParseWindowsLocaleName(std::string_view localeName);

// English ("en-us", 9), the language of every name that says nothing better.
UserLanguage EnglishUserLanguage();

// The user's interface language as the platform keeps it: on Linux from LC_ALL, LC_MESSAGES and
// LANG, the first that is set and not empty; on Windows the user's default locale name
// ("de-DE").
UserLanguage ReadUserLanguage();
