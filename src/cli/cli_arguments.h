#pragma once

#include "rules/port_rules.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <variant>

namespace vantu::cli {

// What the user asked vantu-cli to do.
struct CliArguments {
    enum class Command { help, version, list, stop, open };
    Command command = Command::help;
    bool all = false;
    bool json = false;
    bool force = false;
    // stop: the listener's whole process group, as Ctrl+C in its terminal would.
    bool group = false;
    QList<uint16_t> ports;
    // stop: ranges of ports ("3000-3005"), as the discovery settings take them; every port in a
    // range on which something listens is stopped as if it were named.
    QList<PortRules::Range> ranges;
};

// The command line could not be understood; `message` says why, in one line.
struct UsageError {
    QString message;
};

// Parses the arguments that follow the program name.
std::variant<CliArguments, UsageError> parseArguments(const QStringList& arguments);

QString usageText();

}  // namespace vantu::cli
