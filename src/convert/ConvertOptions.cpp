#include "ConvertOptions.h"

#include "ConvertOutputs.h"

#include <QLocale>

#include <cmath>

using namespace Qt::Literals::StringLiterals;
using FrameTools::TKind;
using FrameTools::TOperation;
using FrameTools::TPivotKind;
using FrameTools::TValue;

namespace {

[[noreturn]] void Fail(const QString& message)
{
    throw EConvertUsage(message);
}

QString Dashed(const QString& option)
{
    return QStringLiteral("--") + option;
}

double Number(const QString& option, const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value))
        Fail(QStringLiteral("%1: '%2' is not a number").arg(Dashed(option), text));
    return value;
}

// "X,Y", each a value that may ramp.
std::pair<TValue, TValue> Pair(const QString& option, const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2)
        Fail(QStringLiteral("%1: '%2' is not two values X,Y").arg(Dashed(option), text));
    return {ConvertOptions::ParseValue(option, parts[0]), ConvertOptions::ParseValue(option, parts[1])};
}

TValue Colour(const QString& option, const QString& text)
{
    const TValue value = ConvertOptions::ParseValue(option, text);
    for (const double end : {value.First, value.Last})
        if (end != std::floor(end) || end < 0 || end > 63)
            Fail(QStringLiteral("%1: '%2' is no colour index 0..63").arg(Dashed(option), text));
    return value;
}

std::pair<TValue, TValue> ColourPair(const QString& option, const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2)
        Fail(QStringLiteral("%1: '%2' is not two colour indices A,B").arg(Dashed(option), text));
    return {Colour(option, parts[0]), Colour(option, parts[1])};
}

int FrameNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || text.startsWith(QLatin1Char('+')))
        Fail(QStringLiteral("--frames: '%1' is no frame number").arg(text));
    return value;
}

// An operation of a kind that needs no value.
std::function<void(TConvertJob&, const QString&)> Simple(TKind kind)
{
    return [kind](TConvertJob& job, const QString&) {
        TOperation operation;
        operation.Kind = kind;
        job.Operations.push_back(operation);
    };
}

// A transform about the pivot in force; set fills in its values.
std::function<void(TConvertJob&, const QString&)> Transform(
    const QString& option, std::function<void(TOperation&, const QString& option, const QString& value)> set)
{
    return [option, set](TConvertJob& job, const QString& value) {
        TOperation operation;
        operation.Kind = TKind::Transform;
        operation.Pivot = job.Pivot;
        set(operation, option, value);
        job.Operations.push_back(operation);
    };
}

void SetPivot(TConvertJob& job, const QString& value)
{
    static const std::pair<const char*, TPivotKind> Named[] = {
        {"centre", TPivotKind::Centre}, {"origin", TPivotKind::Origin}, {"all", TPivotKind::All}};
    for (const auto& [name, kind] : Named)
        if (value == QLatin1String(name)) {
            job.Pivot = {kind, {}, {}};
            return;
        }
    if (!value.contains(QLatin1Char(',')))
        Fail(QStringLiteral("--pivot: '%1' is none of centre, origin, all or X,Y").arg(value));
    const auto [x, y] = Pair(QStringLiteral("pivot"), value);
    job.Pivot = {TPivotKind::Point, x, y};
}

void SetFrames(TConvertJob& job, const QString& value)
{
    if (job.Frames)
        Fail(QStringLiteral("--frames is given twice"));
    const QStringList parts = value.split(QLatin1Char('-'));
    if (parts.size() > 2)
        Fail(QStringLiteral("--frames: '%1' is not A-B or A").arg(value));
    const int first = FrameNumber(parts[0]);
    const int last = parts.size() == 2 ? FrameNumber(parts[1]) : first;
    if (last < first)
        Fail(QStringLiteral("--frames: %1 ends before it starts").arg(value));
    job.Frames = std::pair{first, last};
}

void SetIldaFormat(TConvertJob& job, const QString& value)
{
    using ZLT_Ilda::TFormat;
    using ZLT_Ilda::TPaletteSection;
    static const std::pair<const char*, std::pair<TFormat, TPaletteSection>> Kinds[] = {
        {"4", {TFormat::TrueColor3D, TPaletteSection::Included}},
        {"5", {TFormat::TrueColor2D, TPaletteSection::Included}},
        {"0", {TFormat::Indexed3D, TPaletteSection::Included}},
        {"1", {TFormat::Indexed2D, TPaletteSection::Included}},
        {"1-standard", {TFormat::Indexed2D, TPaletteSection::Standard}},
    };
    for (const auto& [name, kind] : Kinds)
        if (value == QLatin1String(name)) {
            job.Ilda = TIldaKind{kind.first, kind.second, value};
            return;
        }
    Fail(QStringLiteral("--ilda-format: '%1' is none of 4, 5, 0, 1, 1-standard").arg(value));
}

// "rate=40000,lit-step=500": the profile's keys as the dialog names them.
void SetScanner(TConvertJob& job, const QString& value)
{
    if (job.ScannerGiven)
        Fail(QStringLiteral("--scanner is given twice"));
    job.ScannerGiven = true;
    TScannerProfile& p = job.Scanner;
    const std::pair<const char*, int TScannerProfile::*> Whole[] = {
        {"rate", &TScannerProfile::PointRate},      {"lit-step", &TScannerProfile::LitStep},
        {"blank-step", &TScannerProfile::BlankedStep}, {"reversal-us", &TScannerProfile::ReversalUs},
        {"anchor-us", &TScannerProfile::AnchorUs},  {"wait-us", &TScannerProfile::WaitUs},
        {"colour-delay-us", &TScannerProfile::ColourDelayUs}};
    for (const QString& item : value.split(QLatin1Char(','))) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        const QString key = item.left(eq).trimmed(), text = eq < 0 ? QString() : item.mid(eq + 1).trimmed();
        if (eq < 0)
            Fail(QStringLiteral("--scanner: '%1' is not KEY=VALUE").arg(item));
        const double number = Number(u"scanner"_s, text);
        bool known = false;
        for (const auto& [name, field] : Whole) {
            if (key != QLatin1String(name))
                continue;
            const bool rate = field == &TScannerProfile::PointRate;
            const double low = rate ? TScannerProfile::MinPointRate : field == &TScannerProfile::LitStep
                                                                            || field == &TScannerProfile::BlankedStep ? 1 : 0;
            const double high = rate ? TScannerProfile::MaxPointRate : field == &TScannerProfile::LitStep
                                                                             || field == &TScannerProfile::BlankedStep
                                                                         ? 65535
                                                                         : TScannerProfile::MaxMicroseconds;
            if (number != std::floor(number) || number < low || number > high)
                Fail(QStringLiteral("--scanner: %1 must be a whole number %2..%3, not '%4'")
                         .arg(key).arg(low).arg(high).arg(text));
            p.*field = int(number);
            known = true;
        }
        if (key == QLatin1String("corner-angle")) {
            if (number < 0 || number > 180)
                Fail(QStringLiteral("--scanner: corner-angle must be 0..180 degrees, not '%1'").arg(text));
            p.CornerAngle = number;
            known = true;
        } else if (key == QLatin1String("keep-order")) {
            if (number != 0 && number != 1)
                Fail(QStringLiteral("--scanner: keep-order must be 0 or 1, not '%1'").arg(text));
            p.KeepOrder = number == 1;
            known = true;
        }
        if (!known)
            Fail(QStringLiteral("--scanner: unknown key '%1' (rate, lit-step, blank-step, reversal-us, corner-angle, "
                                "anchor-us, wait-us, keep-order, colour-delay-us)")
                     .arg(key));
    }
}

void SetBlackAs(TConvertJob& job, const QString& value)
{
    if (value == QLatin1String("blank")) {
        job.Vector.BlackAs = Vector::TVectorOptions::Blanked;
        return;
    }
    bool ok = false;
    const int index = value.toInt(&ok);
    if (!ok || index < 0 || index > 63 || value.startsWith(QLatin1Char('+')))
        Fail(QStringLiteral("--black-as: '%1' is no colour index 0..63 and not blank").arg(value));
    job.Vector.BlackAs = index;
}

std::vector<ConvertOptions::TOption> MakeOptions()
{
    using S = QString;
    const auto scale = [](TOperation& op, const S& option, const S& value) {
        if (value.contains(QLatin1Char(','))) {
            std::tie(op.ScaleX, op.ScaleY) = Pair(option, value);
        } else {
            op.ScaleX = ConvertOptions::ParseValue(option, value);
            op.ScaleY = op.ScaleX;
        }
    };
    const auto colour = [](TKind kind) {
        return [kind](TConvertJob& job, const S& value) {
            TOperation operation;
            operation.Kind = kind;
            if (kind == TKind::SetColour)
                operation.ColourA = Colour(QStringLiteral("colour"), value);
            else
                std::tie(operation.ColourA, operation.ColourB) =
                    ColourPair(kind == TKind::Gradient ? u"gradient"_s : u"replace-colour"_s, value);
            job.Operations.push_back(operation);
        };
    };
    return {
        {u"frames"_s, {}, u"A-B"_s, u"keep only frames A to B (or frame A) of the inputs' frames, counted from 0"_s,
         SetFrames},
        {u"mirror-x"_s, {}, {}, u"mirror each frame left to right within its extent"_s, Simple(TKind::MirrorX)},
        {u"mirror-y"_s, {}, {}, u"mirror each frame top to bottom within its extent"_s, Simple(TKind::MirrorY)},
        {u"rotate"_s, {}, u"DEG"_s, u"rotate counter-clockwise as seen about the pivot"_s,
         Transform(u"rotate"_s, [](TOperation& op, const S& option, const S& value) {
             op.Rotate = ConvertOptions::ParseValue(option, value);
         })},
        {u"scale"_s, {}, u"P|SX,SY"_s, u"scale in percent about the pivot (negative mirrors)"_s,
         Transform(u"scale"_s, scale)},
        {u"move"_s, {}, u"DX,DY"_s, u"move by DX, DY in ILDA units"_s,
         Transform(u"move"_s, [](TOperation& op, const S& option, const S& value) {
             std::tie(op.MoveX, op.MoveY) = Pair(option, value);
         })},
        {u"pivot"_s, {}, u"centre|origin|all|X,Y"_s,
         u"what --rotate and --scale after it turn about: each frame's centre (the default), (0, 0), the "
         "centre of all used frames, or a point"_s,
         SetPivot},
        {u"centre"_s, {}, {}, u"move each frame's centre to (0, 0)"_s, Simple(TKind::Centre)},
        {u"fit"_s, {}, {}, u"centre each frame and scale it to fill the field"_s, Simple(TKind::Fit)},
        {u"reverse"_s, {}, {}, u"draw each frame backwards"_s, Simple(TKind::Reverse)},
        {u"colour"_s, {}, u"C"_s, u"give every lit point colour index C"_s, colour(TKind::SetColour)},
        {u"replace-colour"_s, {}, u"A,B"_s, u"give lit points of colour index A colour index B"_s,
         colour(TKind::ReplaceColour)},
        {u"gradient"_s, {}, u"A,B"_s, u"colour each frame's lit points from index A to index B"_s,
         colour(TKind::Gradient)},
        {u"optimise"_s, {}, {}, u"optimise each frame for the scanner of --scanner (a frame that would need more "
                                "than 65535 points stays as it was)"_s,
         Simple(TKind::Optimise)},
        {u"minimise"_s, {}, {}, u"remove from each frame what an optimisation added"_s, Simple(TKind::Minimise)},
        {u"scanner"_s, {}, u"KEY=VALUE,..."_s,
         u"the scanner --optimise draws for: rate (points per second), lit-step, blank-step (ILDA units), "
         "reversal-us, corner-angle (degrees), anchor-us, wait-us, keep-order (0 or 1), colour-delay-us; keys not "
         "given keep their defaults (rate=30000,lit-step=640,blank-step=2000,reversal-us=300,corner-angle=25,"
         "anchor-us=66,wait-us=133,keep-order=0,colour-delay-us=0), whatever the program's settings say"_s,
         SetScanner},
        {u"page"_s, {}, {}, u"fit an SVG's page (its viewBox) into the field rather than what it draws"_s,
         [](TConvertJob& job, const S&) { job.Vector.UsePage = true; }},
        {u"no-optimise"_s, {}, {}, u"leave SVG and text frames as drawn, not optimised for the scanner"_s,
         [](TConvertJob& job, const S&) { job.Vector.Optimise = false; }},
        {u"black-as"_s, {}, u"INDEX|blank"_s,
         u"draw black and currentColor SVG lines in colour index INDEX, or blanked (default: the palette's white)"_s, SetBlackAs},
        {u"text"_s, {}, u"TEXT"_s,
         u"an input of one frame: TEXT in a single-stroke font, lines split at \\n, centred"_s,
         [](TConvertJob& job, const S& value) {
             QString text = value;
             text.replace(QLatin1String("\\n"), QLatin1String("\n"));
             job.Texts.push_back({0, text, job.Font}); // Parse says where it stands
         }},
        {u"font"_s, {}, u"NAME"_s,
         u"the Hershey font of the --text after it (default futural; the names are the .jhf files of "
         "/usr/share/hershey-fonts)"_s,
         [](TConvertJob& job, const S& value) { job.Font = value; }},
        {u"ilda-format"_s, {}, u"4|5|0|1|1-standard"_s,
         u"the kind of ILDA output: 4 true colour 3D (the default), 5 true colour 2D, 0 indexed 3D and 1 "
         "indexed 2D after a palette section, 1-standard indexed 2D in the standard colours"_s,
         SetIldaFormat},
        {u"palette"_s, {}, u"FILE.pal"_s, u"the colours for ILDA true colour (default: the built-in palette)"_s,
         [](TConvertJob& job, const S& value) { job.PaletteFile = value; }},
        {u"quiet"_s, u'q', {}, u"print no summary"_s, [](TConvertJob& job, const S&) { job.Quiet = true; }},
        {u"help"_s, u'h', {}, u"show this help and end"_s, [](TConvertJob& job, const S&) { job.Help = true; }},
        {u"version"_s, {}, {}, u"show the version and end"_s,
         [](TConvertJob& job, const S&) { job.Version = true; }},
    };
}

const ConvertOptions::TOption* Find(const QString& argument, QString& value, bool& hasValue)
{
    hasValue = false;
    const std::vector<ConvertOptions::TOption>& options = ConvertOptions::Options();
    if (argument.startsWith(QLatin1String("--"))) {
        QString name = argument.mid(2);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
            hasValue = true;
        }
        for (const ConvertOptions::TOption& option : options)
            if (option.Name == name)
                return &option;
        return nullptr;
    }
    if (argument.size() == 2)
        for (const ConvertOptions::TOption& option : options)
            if (!option.Short.isNull() && option.Short == argument[1])
                return &option;
    return nullptr;
}

// An option's names, then its help wrapped to 79 columns beside them, or
// below them when they are wider than the column.
QString Wrapped(const QString& names, const QString& help)
{
    constexpr int Indent = 26;
    constexpr int Width = 79;
    QString text = names;
    qsizetype column = names.size();
    if (column >= Indent - 1) {
        text += QLatin1Char('\n');
        column = 0;
    }
    bool lineStart = true;
    for (const QString& word : help.split(QLatin1Char(' '))) {
        if (!lineStart && column + 1 + word.size() > Width) {
            text += QLatin1Char('\n');
            column = 0;
            lineStart = true;
        }
        if (lineStart) {
            text += QString(Indent - column, QLatin1Char(' '));
            column = Indent;
        } else {
            text += QLatin1Char(' ');
            ++column;
        }
        text += word;
        column += word.size();
        lineStart = false;
    }
    return text + QLatin1Char('\n');
}

} // namespace

namespace ConvertOptions {

const std::vector<TOption>& Options()
{
    static const std::vector<TOption> options = MakeOptions();
    return options;
}

TValue ParseValue(const QString& option, const QString& text)
{
    const QStringList ends = text.split(QLatin1Char(':'));
    if (ends.size() > 2)
        Fail(QStringLiteral("%1: '%2' is not a number or FIRST:LAST").arg(Dashed(option), text));
    const double first = Number(option, ends[0]);
    return ends.size() == 2 ? TValue(first, Number(option, ends[1])) : TValue(first);
}

TConvertJob Parse(const QStringList& arguments)
{
    TConvertJob job;
    QStringList names;
    bool optionsEnd = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnd || argument.size() < 2 || !argument.startsWith(QLatin1Char('-'))) {
            names << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        QString value;
        bool hasValue = false;
        const TOption* option = Find(argument, value, hasValue);
        if (!option)
            Fail(QStringLiteral("unknown option '%1' (see --help)").arg(argument));
        if (option->ValueName.isEmpty() && hasValue)
            Fail(QStringLiteral("--%1 takes no value").arg(option->Name));
        if (!option->ValueName.isEmpty() && !hasValue) {
            if (i + 1 >= arguments.size())
                Fail(QStringLiteral("--%1 needs a value (%2)").arg(option->Name, option->ValueName));
            value = arguments[++i];
        }
        const size_t texts = job.Texts.size();
        option->Apply(job, value);
        if (job.Texts.size() > texts)
            job.Texts.back().Before = names.size(); // the names so far: the inputs before it
        if (job.Help || job.Version)
            return job;
    }
    for (const QString& name : std::as_const(names))
        if (name.isEmpty())
            Fail(QStringLiteral("a file name is empty"));
    if (names.size() < (job.Texts.empty() ? 2 : 1))
        Fail(names.isEmpty() && job.Texts.empty() ? QStringLiteral("no input and no output given (see --help)")
                             : QStringLiteral("no output given: the last name is the output (see --help)"));
    for (TOperation& op : job.Operations)
        if (op.Kind == TKind::Optimise)
            op.Scanner = job.Scanner;
    job.Output = names.takeLast();
    job.Inputs = names;
    for (TConvertText& text : job.Texts)
        text.Before = std::min(text.Before, job.Inputs.size());
    job.OutputKind = ConvertOutputs::KindOf(job.Output);
    if (job.Ilda && job.OutputKind != TOutputKind::Ilda)
        Fail(QStringLiteral("--ilda-format is for an ILDA output (.ild), not '%1'").arg(job.Output));
    return job;
}

QString HelpText()
{
    QString text = QStringLiteral(
        "Usage: trevasc-convert [OPTION]... INPUT... OUTPUT\n"
        "Reads laser-show frames from the inputs into one list, changes them and writes them.\n"
        "\n"
        "Inputs, read in the order given:\n"
        "  NAME.cat    a catalog: all its 32767 slots, empty ones included\n"
        "  NAME.pic    a picture file: one frame\n"
        "  NAME.ild    an ILDA file (any name when the file starts with \"ILDA\"): its frames\n"
        "  FOLDER      its .pic files in name order, as Import PIC directory reads them\n"
        "  NAME.svg    an SVG drawing: one frame of its lines, optimised (see --page,\n"
        "              --black-as, --no-optimise); SVG inputs one after the other, and a\n"
        "              FOLDER of .svg files (and no .pic), share one placement\n"
        "  --text TEXT one frame of text (see --font)\n"
        "\n"
        "Output, told by its name:\n"
        "  NAME.cat    a catalog, the frames from slot 0 (at most 32767)\n"
        "  NAME.ild    an ILDA file of the used frames (see --ilda-format)\n"
        "  NAME.pic    a picture file of the one used frame\n"
        "  FOLDER/     one NNNNN.pic per used frame, named by its place in the list\n"
        "\n"
        "The operations are applied in the order given to every used frame. A number\n"
        "written FIRST:LAST ramps across the used frames (--rotate 0:360, --scale 100:10).\n"
        "\n"
        "Options:\n");
    for (const TOption& option : Options()) {
        QString names = option.Short.isNull() ? QStringLiteral("      ") : QStringLiteral("  -%1, ").arg(option.Short);
        names += Dashed(option.Name);
        if (!option.ValueName.isEmpty())
            names += QLatin1Char(' ') + option.ValueName;
        text += Wrapped(names, option.Help);
    }
    text += QStringLiteral(
        "\n"
        "Exit status: 0 when every output was written, 1 when a write failed, 2 for a bad\n"
        "option, value or input (then nothing is written).\n");
    return text;
}

} // namespace ConvertOptions
