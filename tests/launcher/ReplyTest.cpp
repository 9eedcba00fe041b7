#include "common/relay/WebDavLink.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

struct Interpreted {
    RemoteLinkResult result;
    std::string link;
};

Interpreted Interpret(const std::string& reply) {
    Interpreted out{0, "untouched"};
    out.result = InterpretRelayReply(reply, out.link);
    return out;
}

const char* const kSuccess = R"(<?xml version="1.0"?><mydisk><error number="0" text="OK"/>)"
                             R"(<link href="https://smith.relay.example/dav/alice/"/></mydisk>)";

} // namespace

TEST(RelayReplyTest, SuccessGivesTheLinkInAnyElementCaseAndOrder) {
    EXPECT_EQ(Interpret(kSuccess).result, kLinkFound);
    EXPECT_EQ(Interpret(kSuccess).link, "https://smith.relay.example/dav/alice/");

    const Interpreted capitals = Interpret(R"(<MYDISK><LINK href="http://a/b"/>)"
                                           R"(<Error number="0"/></MYDISK>)");
    EXPECT_EQ(capitals.result, kLinkFound);
    EXPECT_EQ(capitals.link, "http://a/b");
}

TEST(RelayReplyTest, AttributeNamesMatchExactly) {
    // A capitalised href is no link: the result is still 0, with an empty link.
    const Interpreted noHref =
        Interpret(R"(<mydisk><error number="0"/><link HREF="http://a/"/></mydisk>)");
    EXPECT_EQ(noHref.result, kLinkFound);
    EXPECT_EQ(noHref.link, "");
    // A capitalised number is no number.
    EXPECT_EQ(Interpret(R"(<mydisk><error NUMBER="0"/><link href="http://a/"/></mydisk>)").result,
              kRelayUnusable);
}

TEST(RelayReplyTest, AnErrorLeavesTheLinkUntouched) {
    for (int number : {1, 2, 3, 4, 7, -3}) {
        const Interpreted error = Interpret("<mydisk><error number=\"" + std::to_string(number) +
                                            "\" text=\"x\"/><link href=\"http://a/\"/></mydisk>");
        EXPECT_EQ(error.result, number);
        EXPECT_EQ(error.link, "untouched");
    }
}

TEST(RelayReplyTest, ErrorNumbersReadLikeAtoiButNeverWrapToSuccess) {
    EXPECT_EQ(ParseErrorNumber("abc"), 0);
    EXPECT_EQ(ParseErrorNumber(""), 0);
    EXPECT_EQ(ParseErrorNumber(" \t\n+2x"), 2);
    EXPECT_EQ(ParseErrorNumber("-4"), -4);
    EXPECT_EQ(ParseErrorNumber("4294967296"), INT_MAX);
    EXPECT_EQ(ParseErrorNumber("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseErrorNumber("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(ParseErrorNumber("-2147483648"), INT_MIN);

    EXPECT_EQ(
        Interpret(R"(<mydisk><error number="none"/><link href="http://a/"/></mydisk>)").result,
        kLinkFound);
    EXPECT_EQ(
        Interpret(R"(<mydisk><error number="4294967296"/><link href="http://a/"/></mydisk>)").link,
        "untouched");
}

TEST(RelayReplyTest, RepliesWithoutAnAnswerAreUnusable) {
    EXPECT_EQ(Interpret(R"(<mydisk><link href="http://a/"/></mydisk>)").result, kRelayUnusable);
    EXPECT_EQ(Interpret(R"(<mydisk><error text="x"/><link href="http://a/"/></mydisk>)").result,
              kRelayUnusable);
    EXPECT_EQ(Interpret(R"(<other><error number="0"/></other>)").result, kRelayUnusable);
    // "mydisk" counts only at the top of the document.
    EXPECT_EQ(Interpret(R"(<x><mydisk><error number="0"/></mydisk></x>)").result, kRelayUnusable);
    EXPECT_EQ(Interpret("").result, kRelayUnusable);
    EXPECT_EQ(Interpret("<mydisk><error number=\"0\"<link").result, kRelayUnusable);
    EXPECT_EQ(Interpret("not xml at all").link, "untouched");
}

TEST(RelayReplyTest, NotFoundAnywhereWins) {
    EXPECT_EQ(Interpret(R"(<mydisk><error number="0"/><link href="http://a/"/>)"
                        R"(<!-- 404 Not Found --></mydisk>)")
                  .result,
              kRelayNotFound);
    EXPECT_EQ(Interpret("<html><title>404 Not Found</title></html>").result, kRelayNotFound);
    EXPECT_EQ(Interpret("<html><title>404 not found</title></html>").result, kRelayUnusable);
}

TEST(RelayReplyTest, OnlyTheFirstElementOfEachNameCounts) {
    const Interpreted single =
        Interpret(R"(<mydisk><error number="0"/><error number="2"/>)"
                  R"(<link href="http://first/"/><link href="http://second/"/>)"
                  R"(</mydisk>)");
    EXPECT_EQ(single.result, kLinkFound);
    EXPECT_EQ(single.link, "http://first/");
}

TEST(RelayReplyTest, LongRepliesAndLongValues) {
    // A reply of many kilobytes is parsed as a whole.
    const std::string padding = "<!-- " + std::string(5000, 'x') + " -->";
    const Interpreted big = Interpret(R"(<mydisk>)" + padding +
                                      R"(<error number="0"/><link href="http://a/"/></mydisk>)");
    EXPECT_EQ(big.result, kLinkFound);
    EXPECT_EQ(big.link, "http://a/");

    // An overlong link is kept whole (the caller refuses it); the error text is cut safely.
    const std::string longLink = "http://a/" + std::string(400, 'l');
    const Interpreted longOne =
        Interpret("<mydisk><error number=\"0\"/><link href=\"" + longLink + "\"/></mydisk>");
    EXPECT_EQ(longOne.link, longLink);

    kvWebDavLinkXmlParser parser;
    ASSERT_TRUE(parser.Parse("<mydisk><error number=\"1\" text=\"" + std::string(254, 'e') +
                             "\xC3\xA9\xC3\xA9\"/></mydisk>"));
    kvWebDavLink record;
    parser.Extract(record);
    EXPECT_EQ(record.ErrorNumber(), 1);
    EXPECT_EQ(record.ErrorText(), std::string(254, 'e'));
    EXPECT_FALSE(record.IsValid());
}

TEST(RelayReplyTest, TheReplyEndsAtANulByte) {
    const std::string reply = std::string(kSuccess) + std::string(1, '\0') + "<garbage";
    EXPECT_EQ(Interpret(reply).result, kLinkFound);
}
