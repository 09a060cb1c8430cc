#include "EditorCommandLine.h"

#include "TqfVersion.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace tqf {

namespace {

constexpr const char* PROGRAM = "tqf-editor";

QString Refusal(const QString& reason, const QCommandLineParser& parser) {
    return QStringLiteral("%1: %2\n\n%3").arg(QString::fromLatin1(PROGRAM), reason, parser.helpText());
}

} // namespace

EditorCommandLine EditorCommandLine::Parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Edits libraries of SECS-II message formats kept in .TQF files."));
    // Options of its own rather than addHelpOption(): Qt's adds --help-all,
    // which lists options of the windowing system that are read elsewhere.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption noSettings(QStringLiteral("no-settings"),
                                        QStringLiteral("Neither read nor keep settings, such as the recent files."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(noSettings);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The library to open at start; a new one if there is no such file."),
                                 QStringLiteral("[FILE]"));

    EditorCommandLine line;
    if (!parser.parse(arguments)) {
        line.action = Action::Refuse;
        line.text = Refusal(parser.errorText(), parser);
        return line;
    }
    const QStringList files = parser.positionalArguments();
    line.noSettings = parser.isSet(noSettings);
    if (parser.isSet(help)) {
        line.action = Action::ShowHelp;
        line.text = parser.helpText();
    } else if (parser.isSet(version)) {
        line.action = Action::ShowVersion;
        line.text = QStringLiteral("%1 %2\n").arg(QString::fromLatin1(PROGRAM), QString::fromLatin1(TQF_VERSION));
    } else if (files.size() > 1) {
        line.action = Action::Refuse;
        line.text = Refusal(QStringLiteral("one file at most can be opened."), parser);
    } else if (files.size() == 1 && files.front().isEmpty()) {
        line.action = Action::Refuse;
        line.text = Refusal(QStringLiteral("the file name is empty."), parser);
    } else if (files.size() == 1) {
        line.file = QDir::cleanPath(QFileInfo(files.front()).absoluteFilePath());
    }
    return line;
}

} // namespace tqf
