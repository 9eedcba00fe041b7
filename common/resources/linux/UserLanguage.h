// The user's interface language, from the locale environment of the process.
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

// From LC_ALL, LC_MESSAGES and LANG, the first that is set and not empty.
UserLanguage ReadUserLanguage();
