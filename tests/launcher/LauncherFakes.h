// Recording stand-ins for what the launcher's dispatch talks to.
#pragma once

#include "launcher/Nethood.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class FakeLauncherUi : public CAbstractLauncherUi {
public:
    void ShowUsage(const std::string& programPath) override { usages.push_back(programPath); }
    void ShowMessage(const LauncherMessage& message) override {
        EXPECT_EQ(busyDepth, 0) << "a message shown under the busy cursor";
        messages.push_back(message);
    }
    NamesAnswer AskNames(const std::string& serverName, const std::string& userName,
                         bool serverNameEditable) override {
        asked.push_back({serverName, userName, serverNameEditable});
        if (answers.empty()) {
            return {};
        }
        NamesAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void BeginBusy() override {
        ++busyDepth;
        ++busyCount;
    }
    void EndBusy() override { --busyDepth; }

    struct Asked {
        std::string serverName;
        std::string userName;
        bool serverNameEditable;
    };
    std::vector<std::string> usages;
    std::vector<LauncherMessage> messages;
    std::vector<Asked> asked;
    std::deque<NamesAnswer> answers;
    int busyDepth = 0;
    int busyCount = 0;
};

class FakeLauncherStore : public CAbstractLauncherStore {
public:
    std::string RelayDomain() override { return relayDomain; }
    std::string RememberedServerName() override { return serverName; }
    std::string RememberedUserName() override { return userName; }
    bool RememberUserName(const std::string& name) override {
        userName = name;
        ++userNameWrites;
        return true;
    }

    std::string relayDomain = "relay.example";
    std::string serverName;
    std::string userName;
    int userNameWrites = 0;
};

// Opens whatever it is given, but for addresses whose scheme is listed as failing.
class FakeOpener : public CAbstractOpener {
public:
    OpenOutcome Open(const std::string& address) override {
        opened.push_back(address);
        for (const auto& [scheme, status] : failingSchemes) {
            if (address.rfind(scheme + ":", 0) == 0) {
                return {false, status};
            }
        }
        return {true, 0};
    }

    std::vector<std::string> opened;
    std::map<std::string, int> failingSchemes;
};

class FakeHttpClient : public CAbstractHttpClient {
public:
    HttpReply Get(const std::string& address) override {
        requested.push_back(address);
        return reply;
    }

    static HttpReply Body(std::string body, long status = 200) {
        HttpReply reply;
        reply.outcome = HttpReply::Outcome::Received;
        reply.status = status;
        reply.body = std::move(body);
        return reply;
    }

    HttpReply reply;
    std::vector<std::string> requested;
};

class FakeChooser : public CAbstractServerChooser {
public:
    ServerChoice Choose(std::string& address) override {
        ++calls;
        if (choice == ServerChoice::LocalDevice) {
            address = localAddress;
        }
        return choice;
    }

    ServerChoice choice = ServerChoice::Cancelled;
    std::string localAddress;
    int calls = 0;
};
