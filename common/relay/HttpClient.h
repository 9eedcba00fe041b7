// A plain HTTP GET, as the link lookup needs it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

struct HttpLimits {
    // A relay that does not answer must not hold the launcher: connecting and the whole exchange
    // each have a time limit.
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds totalTimeout{30'000};
    // Replies are small documents; a longer one is not read on.
    std::size_t maxBodyBytes = 1024 * 1024;
};

struct HttpReply {
    enum class Outcome {
        Received, // a whole reply: status and body
        NoReply,  // no connection, unresolved name, time-out or a broken exchange
        TooLarge, // the body went past HttpLimits::maxBodyBytes
    };
    Outcome outcome = Outcome::NoReply;
    long status = 0;
    std::string body;
    std::string error; // what went wrong, for diagnostics
};

class CAbstractHttpClient {
public:
    virtual ~CAbstractHttpClient() = default;
    // An HTTP/1.0 GET of the address; redirections are not followed.
    virtual HttpReply Get(const std::string& address) = 0;
};
