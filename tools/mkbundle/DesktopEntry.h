// Desktop entries whose names and comments come from the launcher's texts, so that the
// application menu speaks the user's language without a second set of translations.
#pragma once

#include "common/resources/ResourceBundle.h"

#include <string>
#include <string_view>
#include <vector>

struct DesktopEntryResult {
    bool ok = false;
    std::string text;
    // When not ok: the template's line (from 1) and the reason.
    size_t line = 0;
    std::string error;
};

// Copies the template, but for its comment lines (starting with '#'), and expands every line
// "Key=@ID@" into "Key=" with the English text of string ID, then "Key[ll]=" (or "Key[ll_CC]="
// where two tags share a language) for every other language of `texts` whose text differs from the
// English one. %p and %v become `productName`. A string id without an English text, or missing in
// another language, is an error, so that a menu never shows an empty name.
DesktopEntryResult ExpandDesktopEntry(std::string_view templateText, const ResourceBundle& texts,
                                      std::string_view productName);

// The locale of a desktop entry key for a bundle's language tag ("de-de" gives "de" or "de_DE").
std::string DesktopLocale(std::string_view tag, const std::vector<std::string>& allTags);
