// What the web folder's answers mean to the copy engine: the one table from HTTP statuses (per
// request where a status means something of its own there) and from libcurl's results to share
// results.
#pragma once

#include "wizard/transfer/ShareAccess.h"

enum class DavMethod { Propfind, Mkcol, Put, Move, Delete };

// Ok for a 2xx status; otherwise the status' meaning for that request, with the errno value
// that stands for it.
ShareResult ShareResultFromHttp(DavMethod method, long status);

// What a libcurl result other than CURLE_OK says about the server or the connection.
ShareResult ShareResultFromCurl(int code);
