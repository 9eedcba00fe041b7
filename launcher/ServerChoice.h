// What the server choice decided, as the launcher's dispatch sees it.
#pragma once

enum class ServerChoice : int {
    Cancelled = 1,   // the user cancelled the choice: nothing is opened
    Invalid = 2,     // no usable entry came back
    LocalDevice = 3, // a server on the local network, with its dotted address
    RemoteHome = 4,  // the remembered server, through the relay domain
    RelaySite = 5,   // the relay domain's own site
};

// The choice for a case number of the server choice; numbers it does not define are Invalid.
constexpr ServerChoice ServerChoiceFromCase(int choiceCase) {
    switch (choiceCase) {
    case 1:
        return ServerChoice::Cancelled;
    case 3:
        return ServerChoice::LocalDevice;
    case 4:
        return ServerChoice::RemoteHome;
    case 5:
        return ServerChoice::RelaySite;
    default:
        return ServerChoice::Invalid;
    }
}
