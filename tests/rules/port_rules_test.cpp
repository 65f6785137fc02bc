#include "rules/port_rules.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

using Range = PortRules::Range;

QString describe(const QString& text) {
    QString shown;
    for (const QChar c : text) {
        shown += c.unicode() < 0x20 || c.unicode() > 0x7E
                     ? u"\\u%1"_s.arg(static_cast<uint>(c.unicode()), 4, 16, QChar(u'0'))
                     : QString(c);
    }
    return u"input \""_s + shown + u'"';
}

TEST(PortRulesTest, AcceptedTexts) {
    struct Case {
        QString text;
        std::vector<Range> ranges;
    };
    const std::vector<Case> cases = {
        {u""_s, {}},
        {u", ,\n"_s, {}},
        {u"3000"_s, {{3000, 3000}}},
        {u"3000-3005, 8080"_s, {{3000, 3005}, {8080, 8080}}},
        {u"8080 3000"_s, {{8080, 8080}, {3000, 3000}}},
        {u"80,,90"_s, {{80, 80}, {90, 90}}},
        {u",80,"_s, {{80, 80}}},
        {u"65535"_s, {{65535, 65535}}},
        {u"1-65535"_s, {{1, 65535}}},
        {u"5-5"_s, {{5, 5}}},
        {u"0080"_s, {{80, 80}}},
        {u"00001-000002"_s, {{1, 2}}},
        {u"80,80 80"_s, {{80, 80}, {80, 80}, {80, 80}}},
        {u"3000-3010 3005"_s, {{3000, 3010}, {3005, 3005}}},
        {u"\t80\r\n90\r"_s, {{80, 80}, {90, 90}}},
        // No-break space, line separator, ideographic space, paragraph separator, next line.
        {u"80\u00A090\u2028100\u3000110\u2029120\u0085130"_s,
         {{80, 80}, {90, 90}, {100, 100}, {110, 110}, {120, 120}, {130, 130}}},
        {u"\u2003\u200A8080\u202F\u205F"_s, {{8080, 8080}}},
    };
    for (const Case& c : cases) {
        const auto result = PortRules::parse(c.text);
        ASSERT_TRUE(std::holds_alternative<PortRules>(result)) << describe(c.text).toStdString();
        const auto& ranges = std::get<PortRules>(result).ranges();
        EXPECT_EQ(std::vector<Range>(ranges.begin(), ranges.end()), c.ranges) << describe(c.text).toStdString();
    }
}

TEST(PortRulesTest, RejectedTextsNameTheFirstBadToken) {
    struct Case {
        QString text;
        QString token;
    };
    const std::vector<Case> cases = {
        {u"0"_s, u"0"_s},
        {u"0-10"_s, u"0-10"_s},
        {u"000"_s, u"000"_s},
        {u"65536"_s, u"65536"_s},
        {u"1-65536"_s, u"1-65536"_s},
        {u"10-5"_s, u"10-5"_s},
        {u"1-2-3"_s, u"1-2-3"_s},
        {u"-5"_s, u"-5"_s},
        {u"5-"_s, u"5-"_s},
        {u"-"_s, u"-"_s},
        {u"--"_s, u"--"_s},
        {u"+80"_s, u"+80"_s},
        {u"80a"_s, u"80a"_s},
        {u"8O"_s, u"8O"_s},
        {u"80;90"_s, u"80;90"_s},
        {u"80\u201390"_s, u"80\u201390"_s},
        {u"20000 - 20100"_s, u"-"_s},
        {u"99999999999999999999"_s, u"99999999999999999999"_s},
        {u"1-99999999999999999999"_s, u"1-99999999999999999999"_s},
        // 2^32 + 80 would wrap to 80 in a 32-bit accumulator.
        {u"4294967376"_s, u"4294967376"_s},
        {u"abc"_s, u"abc"_s},
        {u"\uFF18\uFF10"_s, u"\uFF18\uFF10"_s},  // full-width 80
        {u"\u0668\u0660"_s, u"\u0668\u0660"_s},  // Arabic-Indic 80
        {u"\u00BD"_s, u"\u00BD"_s},              // vulgar fraction one half
        {u"\u00B9"_s, u"\u00B9"_s},              // superscript one
        {u"80\u200B90"_s, u"80\u200B90"_s},      // zero-width space is no white space
        {u"3000, 0, abc"_s, u"0"_s},
        {u"1-2 x 3-2"_s, u"x"_s},
        {u"80 -5"_s, u"-5"_s},
        {u"\U0001D7E0"_s, u"\U0001D7E0"_s},  // mathematical double-struck eight
    };
    for (const Case& c : cases) {
        const auto result = PortRules::parse(c.text);
        ASSERT_TRUE(std::holds_alternative<PortRules::ValidationError>(result)) << describe(c.text).toStdString();
        EXPECT_EQ(std::get<PortRules::ValidationError>(result).token(), c.token) << describe(c.text).toStdString();
    }
}

TEST(PortRulesTest, DescriptionNamesTheTokenWithTypographicQuotesAndDash) {
    const auto result = PortRules::parse(u"abc"_s);
    ASSERT_TRUE(std::holds_alternative<PortRules::ValidationError>(result));
    EXPECT_EQ(std::get<PortRules::ValidationError>(result).errorDescription(),
              QString::fromUtf8("Invalid port \xE2\x80\x98"
                                "abc\xE2\x80\x99. Use 1\xE2\x80\x93"
                                "65535 or an ascending range."));
    EXPECT_EQ(PortRules::ValidationError::invalidPort(u"0"_s).errorDescription(),
              QString::fromUtf8("Invalid port \xE2\x80\x98"
                                "0\xE2\x80\x99. Use 1\xE2\x80\x93"
                                "65535 or an ascending range."));
}

TEST(PortRulesTest, ContainsChecksBothBounds) {
    const auto rules = std::get<PortRules>(PortRules::parse(u"100-200"_s));
    EXPECT_FALSE(rules.contains(99));
    EXPECT_TRUE(rules.contains(100));
    EXPECT_TRUE(rules.contains(150));
    EXPECT_TRUE(rules.contains(200));
    EXPECT_FALSE(rules.contains(201));
}

TEST(PortRulesTest, EmptyRulesContainNothing) {
    const PortRules rules = std::get<PortRules>(PortRules::parse(u" , "_s));
    EXPECT_EQ(rules, PortRules());
    for (const uint16_t port : {uint16_t{0}, uint16_t{1}, uint16_t{80}, uint16_t{65535}}) {
        EXPECT_FALSE(rules.contains(port)) << port;
    }
}

TEST(PortRulesTest, ContainsLooksAtEveryRange) {
    const auto rules = std::get<PortRules>(PortRules::parse(u"8080 3000-3005 1 65535"_s));
    for (const uint16_t port : {uint16_t{8080}, uint16_t{3000}, uint16_t{3003}, uint16_t{1}, uint16_t{65535}}) {
        EXPECT_TRUE(rules.contains(port)) << port;
    }
    for (const uint16_t port : {uint16_t{0}, uint16_t{2}, uint16_t{3006}, uint16_t{8081}, uint16_t{65534}}) {
        EXPECT_FALSE(rules.contains(port)) << port;
    }
}

TEST(PortRulesTest, EqualityFollowsTheRangesInOrder) {
    const auto parse = [](const QString& text) { return std::get<PortRules>(PortRules::parse(text)); };
    EXPECT_EQ(parse(u"80,90"_s), parse(u" 80\n090 "_s));
    EXPECT_NE(parse(u"80,90"_s), parse(u"90,80"_s));
    EXPECT_NE(parse(u"80"_s), parse(u"80,80"_s));
    EXPECT_NE(parse(u"80-81"_s), parse(u"80,81"_s));
}

}  // namespace
}  // namespace vantu
