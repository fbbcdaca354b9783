// The program's command line: the desktop program when there are no
// arguments, otherwise a headless check or run of a script, the usage text or
// the version. Plain parsing; no Qt application is needed for it.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

// Exit statuses of the headless modes.
enum ExitStatus : int {
    ExitOk = 0,      // done, nothing went wrong ("Script OK" for a check)
    ExitProblem = 1, // the run or the check reported a problem
    ExitUsage = 2,   // bad command line, or the script could not be read
};

// Chart image formats, chosen by the file name's extension (any letter case).
enum class ImageFormat { Unknown, Bmp, Png, Jpeg, Pdf, Svg };
[[nodiscard]] ImageFormat ImageFormatOf(const QString &path);

struct CommandLine {
    enum class Mode { Desktop, Check, Run, Help, Version, Usage };

    Mode mode = Mode::Desktop;
    QString script;          // --check / --run
    QString service;         // --service (desktop or --run), as "scheme://host[:port]"; empty: from the settings
    QString saveImage;       // --save
    QSize size{1000, 600};   // --size
    QString csvFile;         // --csv
    bool info = false;       // --info
    QString error;           // Usage: what is wrong, one line
};

// Largest width or height --size accepts: a bound on the image's memory.
inline constexpr int MaxImageSide = 8000;

// argv[1] onwards as texts (the program's own name left out).
[[nodiscard]] QStringList ProgramArguments(int argc, char **argv);

// arguments: without the program's own name.
[[nodiscard]] CommandLine ParseCommandLine(const QStringList &arguments);

// The usage text, several lines without a final line break; programName is
// the executable's file name.
[[nodiscard]] QString UsageText(const QString &programName);
[[nodiscard]] QString VersionText();
