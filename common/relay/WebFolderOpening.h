// Opening a web folder the relay handed out: as a WebDAV location in the desktop's file manager,
// or in the browser where no file manager takes such a location.
#pragma once

#include "common/desktop/Opener.h"

#include <string>

// `link` must be an openable web address (IsOpenableWebAddress); davs:// (dav:// for an http
// link) first, then the link itself.
OpenOutcome OpenWebFolderLink(CAbstractOpener& opener, const std::string& link,
                              const std::string& displayName);
