#include "cli/cli_arguments.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace vantu::cli {
namespace {

TEST(CliArgumentsTest, Accepted) {
    using Command = CliArguments::Command;
    struct Case {
        QStringList arguments;
        Command command;
        bool all, json, force;
        QList<uint16_t> ports;
    };
    const Case cases[] = {
        {{u"--help"_s}, Command::help, false, false, false, {}},
        {{u"list"_s, u"-h"_s}, Command::help, false, false, false, {}},
        {{u"--version"_s}, Command::version, false, false, false, {}},
        {{u"-v"_s}, Command::version, false, false, false, {}},
        {{u"-V"_s}, Command::version, false, false, false, {}},
        {{u"list"_s}, Command::list, false, false, false, {}},
        {{u"list"_s, u"--json"_s, u"--all"_s}, Command::list, true, true, false, {}},
        {{u"stop"_s, u"3000"_s}, Command::stop, false, false, false, {3000}},
        {{u"stop"_s, u"--force"_s, u"3000"_s, u"65535"_s, u"1"_s}, Command::stop, false, false, true, {3000, 65535, 1}},
        {{u"stop"_s, u"0080"_s, u"80"_s}, Command::stop, false, false, false, {80}},
        {{u"stop"_s, u"3000"_s, u"--all"_s}, Command::stop, true, false, false, {3000}},
    };
    for (const auto& c : cases) {
        const auto parsed = parseArguments(c.arguments);
        const auto* arguments = std::get_if<CliArguments>(&parsed);
        ASSERT_NE(arguments, nullptr) << c.arguments.join(u' ').toStdString();
        EXPECT_EQ(arguments->command, c.command);
        EXPECT_EQ(arguments->all, c.all);
        EXPECT_EQ(arguments->json, c.json);
        EXPECT_EQ(arguments->force, c.force);
        EXPECT_EQ(arguments->ports, c.ports);
    }
    const auto ranged = parseArguments({u"stop"_s, u"3000-3005"_s, u"8080"_s, u"3000-3005"_s});
    ASSERT_TRUE(std::holds_alternative<CliArguments>(ranged));
    EXPECT_EQ(std::get<CliArguments>(ranged).ranges, (QList<PortRules::Range>{{3000, 3005}}));
    EXPECT_EQ(std::get<CliArguments>(ranged).ports, QList<uint16_t>{8080});
}

TEST(CliArgumentsTest, RejectedWithAReason) {
    struct Case {
        QStringList arguments;
        QString message;
    };
    const Case cases[] = {
        {{}, u"No command given. Try \u2018vantu-cli --help\u2019."_s},
        {{u"kill"_s}, u"Unknown command \u2018kill\u2019. Try \u2018vantu-cli --help\u2019."_s},
        {{u"stop"_s}, u"Name at least one port to stop, e.g. \u2018vantu-cli stop 3000\u2019."_s},
        {{u"stop"_s, u"3005-3000"_s}, u"Invalid port \u20183005-3000\u2019. Use 1\u201365535 or an ascending range."_s},
        {{u"stop"_s, u"0"_s}, u"Invalid port \u20180\u2019. Use a number from 1 to 65535."_s},
        {{u"stop"_s, u"65536"_s}, u"Invalid port \u201865536\u2019. Use a number from 1 to 65535."_s},
        {{u"stop"_s, u"-5"_s}, u"Invalid port \u2018-5\u2019. Use a number from 1 to 65535."_s},
        {{u"stop"_s, u"30a"_s}, u"Invalid port \u201830a\u2019. Use a number from 1 to 65535."_s},
        {{u"stop"_s, u":3000"_s}, u"Invalid port \u2018:3000\u2019. Use a number from 1 to 65535."_s},
        {{u"stop"_s, u"3000-70000"_s},
         u"Invalid port \u20183000-70000\u2019. Use 1\u201365535 or an ascending range."_s},
        {{u"stop"_s, u"\uFF13\uFF10\uFF10\uFF10"_s},
         u"Invalid port \u2018\uFF13\uFF10\uFF10\uFF10\u2019. Use a number from 1 to 65535."_s},
        {{u"stop"_s, u"--json"_s, u"3000"_s}, u"Unknown option \u2018--json\u2019 for \u2018stop\u2019."_s},
        {{u"list"_s, u"--force"_s}, u"Unknown option \u2018--force\u2019 for \u2018list\u2019."_s},
        {{u"list"_s, u"3000"_s}, u"Unexpected argument \u20183000\u2019 for \u2018list\u2019."_s},
    };
    for (const auto& c : cases) {
        const auto parsed = parseArguments(c.arguments);
        const auto* error = std::get_if<UsageError>(&parsed);
        ASSERT_NE(error, nullptr) << c.arguments.join(u' ').toStdString();
        EXPECT_EQ(error->message, c.message);
    }
}

}  // namespace
}  // namespace vantu::cli
