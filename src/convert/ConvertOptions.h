#pragma once

#include "ConvertJob.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// The command line of trevasc-convert: [OPTION]... INPUT... OUTPUT.
namespace ConvertOptions {

// One option of the table. A new option is one more row: its names, the
// name of its value in the help (empty for a flag), its help text and what
// it does to the job. Apply raises EConvertUsage for a bad value.
struct TOption
{
    QString Name;      // "rotate", as --rotate
    QChar Short;       // 'q' as -q, or null
    QString ValueName; // "DEG"; empty for a flag
    QString Help;
    std::function<void(TConvertJob& job, const QString& value)> Apply;
};

// Every option, in the order the help lists them.
const std::vector<TOption>& Options();

// Parses the arguments (without the program's name). Options and file
// names may come in any order; "--" ends the options. A value follows its
// option as the next argument or after '=' ("--rotate=-90"), so it may
// start with '-'. Raises EConvertUsage for an unknown option, a missing or
// bad value, too few names or an output whose kind its name does not tell.
// With --help or --version the rest is not checked.
TConvertJob Parse(const QStringList& arguments);

// The text of --help.
QString HelpText();

// "FIRST:LAST" or one number, for the values that ramp; raises
// EConvertUsage naming the option.
FrameTools::TValue ParseValue(const QString& option, const QString& text);

} // namespace ConvertOptions
