// The finish page's link to the pictures just copied.
#pragma once

#include <string>

// "smb://HOST[:PORT]/LIBRARY/DESTINATION/" for the server at `serverAddress` ("a.b.c.d" or
// "a.b.c.d:port"), the library share of `personalLibrary` and the destination text, every folder
// name escaped. The port is written when the address carries one (or the environment names one,
// as for every session), since the file manager that opens the link knows no other way to
// reach it. Empty when the address cannot be read.
std::string DestinationAddress(const std::string& serverAddress, bool personalLibrary,
                               const std::string& destination);

// The web folder's address of the destination below the web folder `webFolderLink`
// ("https://host/.../FOLDER/DESTINATION/"), every folder name escaped; empty when the link is no
// web folder.
std::string WebFolderDestinationAddress(const std::string& webFolderLink,
                                        const std::string& destination);
