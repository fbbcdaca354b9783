#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <charconv>
#include <optional>

ImageFormat ImageFormatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bmp"))
        return ImageFormat::Bmp;
    if (suffix == QLatin1String("png"))
        return ImageFormat::Png;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return ImageFormat::Jpeg;
    if (suffix == QLatin1String("pdf"))
        return ImageFormat::Pdf;
    if (suffix == QLatin1String("svg"))
        return ImageFormat::Svg;
    return ImageFormat::Unknown;
}

namespace {

std::optional<int> parseSide(QStringView text)
{
    const QByteArray bytes = text.toLatin1();
    int value = 0;
    const auto [end, ec] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), value);
    if (bytes.isEmpty() || ec != std::errc() || end != bytes.data() + bytes.size())
        return std::nullopt;
    if (value < 1 || value > MaxImageSide)
        return std::nullopt;
    return value;
}

// "WxH", both sides whole numbers from 1 to MaxImageSide.
std::optional<QSize> parseSize(const QString &text)
{
    const qsizetype x = text.indexOf(QLatin1Char('x'), 0, Qt::CaseInsensitive);
    if (x < 0)
        return std::nullopt;
    const auto width = parseSide(QStringView(text).left(x));
    const auto height = parseSide(QStringView(text).mid(x + 1));
    if (!width || !height)
        return std::nullopt;
    return QSize(*width, *height);
}

// A base address is a scheme (http or https), a host and an optional port,
// nothing else: the request paths are appended to it.
std::optional<QString> parseService(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || url.host().isEmpty() || !url.userInfo().isEmpty() || url.hasQuery()
        || url.hasFragment() || (!url.path().isEmpty() && url.path() != QLatin1String("/")))
        return std::nullopt;
    return url.adjusted(QUrl::RemovePath).toString();
}

CommandLine usageError(const QString &error)
{
    CommandLine result;
    result.mode = CommandLine::Mode::Usage;
    result.error = error;
    return result;
}

} // namespace

QStringList ProgramArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

CommandLine ParseCommandLine(const QStringList &arguments)
{
    // Options are words after one or two dashes ("-run" is "--run"); a value
    // follows its option or is joined to it by "="; "--" ends the options.
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QStringList valueOptions = { QStringLiteral("check"), QStringLiteral("run"),
        QStringLiteral("service"), QStringLiteral("save"), QStringLiteral("size"),
        QStringLiteral("csv") };
    for (const QString &name : valueOptions)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    for (const char *flag : { "help", "version", "info" })
        parser.addOption(QCommandLineOption(QString::fromLatin1(flag)));

    if (!parser.parse(QStringList { QString() } + arguments)) {
        // Either an option the program does not have, or the last argument
        // is an option that lacks its value.
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty())
            return usageError(QStringLiteral("%1 needs an argument").arg(arguments.constLast()));
        // Named as it was given.
        const QString name = unknown.constFirst();
        const auto given = std::find_if(arguments.begin(), arguments.end(), [&](const QString &a) {
            const QString spelled = a.section(QLatin1Char('='), 0, 0);
            return spelled == u'-' + name || spelled == QLatin1String("--") + name;
        });
        return usageError(QStringLiteral("unknown option %1")
                              .arg(given != arguments.end() ? *given : QLatin1String("--") + name));
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().constFirst()));

    CommandLine result;
    QStringList runOptions; // options that only --run takes
    QString modeOption;     // the option that chose the mode
    const QStringList names = parser.optionNames(); // in the order given, repeats included
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString option = QStringLiteral("--") + names[i];
        if (names.indexOf(names[i]) < i)
            return usageError(QStringLiteral("%1 given twice").arg(option));

        QString value;
        if (valueOptions.contains(names[i])) {
            // A following option is not taken as the value: "--save --info"
            // lacks its file name rather than naming a file "--info".
            value = parser.values(names[i]).constFirst(); // the first given
            if (value.isEmpty() || value.startsWith(QLatin1String("--")))
                return usageError(QStringLiteral("%1 needs an argument").arg(option));
        }

        CommandLine::Mode mode = CommandLine::Mode::Desktop;
        if (option == QLatin1String("--check")) {
            mode = CommandLine::Mode::Check;
            result.script = value;
        } else if (option == QLatin1String("--run")) {
            mode = CommandLine::Mode::Run;
            result.script = value;
        } else if (option == QLatin1String("--help")) {
            mode = CommandLine::Mode::Help;
        } else if (option == QLatin1String("--version")) {
            mode = CommandLine::Mode::Version;
        } else if (option == QLatin1String("--service")) {
            // The desktop program and --run take it alike.
            const auto service = parseService(value);
            if (!service)
                return usageError(QStringLiteral("--service needs http:// or https://, a host and "
                                                 "an optional port, not %1")
                                      .arg(value));
            result.service = *service;
        } else {
            runOptions << option;
            if (option == QLatin1String("--save")) {
                if (ImageFormatOf(value) == ImageFormat::Unknown)
                    return usageError(
                        QStringLiteral("--save needs a .bmp, .png, .jpg, .pdf or .svg file, not %1")
                            .arg(value));
                result.saveImage = value;
            } else if (option == QLatin1String("--size")) {
                const auto size = parseSize(value);
                if (!size)
                    return usageError(QStringLiteral("--size needs WxH, each from 1 to %1, not %2")
                                          .arg(MaxImageSide)
                                          .arg(value));
                result.size = *size;
            } else if (option == QLatin1String("--csv")) {
                result.csvFile = value;
            } else {
                result.info = true;
            }
        }

        if (mode != CommandLine::Mode::Desktop) {
            if (!modeOption.isEmpty())
                return usageError(
                    QStringLiteral("%1 cannot be combined with %2").arg(option, modeOption));
            modeOption = option;
            result.mode = mode;
        }
    }

    if (!runOptions.isEmpty() && result.mode != CommandLine::Mode::Run)
        return usageError(QStringLiteral("%1 needs --run").arg(runOptions.constFirst()));
    if (!result.service.isEmpty() && result.mode != CommandLine::Mode::Run
        && result.mode != CommandLine::Mode::Desktop)
        return usageError(QStringLiteral("--service goes with --run or alone"));
    return result;
}

QString UsageText(const QString &programName)
{
    return QStringLiteral(
               "Usage:\n"
               "  %1 [--service URL]      the desktop program\n"
               "  %1 --check SCRIPT       check SCRIPT against the node list (\"nodes.txt\")\n"
               "  %1 --run SCRIPT [--service URL] [--save IMAGE] [--size WxH] [--csv FILE] [--info]\n"
               "  %1 --help | --version\n"
               "\n"
               "--service URL    the service's base address for this run (http://host:port),\n"
               "                 instead of [service] base_url of the settings file\n"
               "--run runs SCRIPT as the script editor's Execute does, without a window:\n"
               "  --save IMAGE    write the chart to IMAGE: .bmp, .png, .jpg, .pdf or .svg\n"
               "  --size WxH      the chart's size in pixels for --save (default 1000x600)\n"
               "  --csv FILE      write every point of every series on the chart to FILE\n"
               "  --info          print the lines the Info button would show\n"
               "\n"
               "Exit status: 0 done, 1 a problem was reported, 2 bad command line or\n"
               "unreadable script.")
        .arg(programName);
}

QString VersionText()
{
    return QStringLiteral("Plotwise " PLOTWISE_VERSION);
}
