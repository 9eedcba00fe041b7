#include "common/resources/UserLanguage.h"

#include "common/files/windows/WideText.h"

#include <windows.h>

UserLanguage ReadUserLanguage() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    const int length = ::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    if (length <= 1) {
        return EnglishUserLanguage();
    }
    return ParseWindowsLocaleName(Utf8FromWide(std::wstring_view(name, length - 1)));
}
