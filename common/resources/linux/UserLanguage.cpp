#include "common/resources/UserLanguage.h"

#include <cstdlib>

UserLanguage ReadUserLanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return ParseLocaleName(value);
        }
    }
    return EnglishUserLanguage();
}
