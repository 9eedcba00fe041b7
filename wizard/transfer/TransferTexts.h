// String ids of the texts the copy engine and the share authentication show, and the readable
// reason of a share result in the user's language.
#pragma once

#include "wizard/transfer/ShareAccess.h"

#include <string>

namespace transfer_text {

inline constexpr unsigned kCaption = 116;            // "Dunmere Pictures Wizard"
inline constexpr unsigned kCredentialsTitle = 150;   // "Connect to %s"
inline constexpr unsigned kCredentialsPrompt = 151;  // "Type your user name and password ... %s"
inline constexpr unsigned kUserLabel = 152;          // "&User name:"
inline constexpr unsigned kPasswordLabel = 153;      // "&Password:"
inline constexpr unsigned kDomainLabel = 154;        // "&Domain (optional):"
inline constexpr unsigned kRememberLabel = 155;      // "&Remember my credentials"
inline constexpr unsigned kShareFailure = 156;       // "The share %s cannot be used: %s"
inline constexpr unsigned kRefused = 157;            // "The user name or password ... refused"
inline constexpr unsigned kOkButton = 158;           // "OK"
inline constexpr unsigned kCancelButton = 159;       // "Cancel"
inline constexpr unsigned kReasonAccessDenied = 160; // the reasons, one per kind of failure
inline constexpr unsigned kReasonNotFound = 161;
inline constexpr unsigned kReasonUnreachable = 162;
inline constexpr unsigned kReasonConnectionLost = 163;
inline constexpr unsigned kReasonDiskFull = 164;
inline constexpr unsigned kReasonExists = 165;
inline constexpr unsigned kReasonInvalidName = 166;
inline constexpr unsigned kReasonSourceUnreadable = 167;
inline constexpr unsigned kReasonMismatch = 168;
inline constexpr unsigned kReasonNotSupported = 169;
inline constexpr unsigned kReasonOther = 170;       // "error %d"
inline constexpr unsigned kReasonOldProtocol = 171; // "the server only offers the old SMB1 ..."
inline constexpr unsigned kNeedsCredentials = 172;  // "This library needs your name and password."
inline constexpr unsigned kCannotWrite = 173;       // "This account may not add files to ..."
inline constexpr unsigned kReasonUntrustedCertificate = 300; // "the server's certificate ..."
// Copying through the relay to the user's web folder.
inline constexpr unsigned kRelayCannotNavigateText = 301; // the relay's messages, as the launcher's
inline constexpr unsigned kRelayServerErrorText = 302;
inline constexpr unsigned kRelayInvalidParameterText = 303;
inline constexpr unsigned kRelayHostUnreachableText = 304;
inline constexpr unsigned kRelayServiceUnavailableText = 305;
inline constexpr unsigned kWebFolderNotSecure = 306;   // "The web folder %s is not ... https"
inline constexpr unsigned kUntrustedCertificate = 307; // "The server ... %s ... certificate"
inline constexpr unsigned kWebFolderTitle = 308;       // "Password for your web folder"
inline constexpr unsigned kWebFolderPrompt = 309;      // "Your web folder %s is reached ..."
inline constexpr unsigned kWebFolderRefused = 310;     // "The web folder refused ... for %s"
inline constexpr unsigned kRelayEntry = 311;           // "%s (through the relay)"
inline constexpr unsigned kWebFolderChoice = 312;      // "Copy pictures to my web folder"
inline constexpr unsigned kRelayOffer = 313;           // "%s is not on this network. ... Next."

} // namespace transfer_text

// Why a share operation failed, in the user's language; the built-in English words when the
// resources hold no text for it.
std::string ShareReasonText(const ShareResult& result);
