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

} // namespace transfer_text

// Why a share operation failed, in the user's language; the built-in English words when the
// resources hold no text for it.
std::string ShareReasonText(const ShareResult& result);
