#include "AppIcon.h"
#include "FormatNode.h"
#include "FormatReader.h"
#include "FormatTree.h"
#include "FormatWriter.h"
#include "HeadlessEnvironment.h"
#include "ProductInfo.h"
#include "TqfVersion.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

namespace tqf {
namespace {

constexpr int PROCESS_TIMEOUT_MS = 30000;
constexpr const char* MIME_TYPE = "text/x-tqf";
constexpr int ICON_SIZES[] = {16, 24, 32, 48, 64, 128, 256};

QString Prefix() { return QStringLiteral(TQF_TEST_PREFIX); }
QString Installed(const QString& relative) { return Prefix() + QLatin1Char('/') + relative; }
QString AppId() { return QString::fromLatin1(TQF_APP_ID); }
QString DesktopEntry() { return Installed(QStringLiteral("share/applications/%1.desktop").arg(AppId())); }
QString Metainfo() { return Installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId())); }

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs program without a display, as a script on a server would.
ProgramRun RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(PROCESS_TIMEOUT_MS) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << program.toStdString() << " did not end normally: " << process.errorString().toStdString();
        return run;
    }
    run.status = process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(InstalledFilesTest, EveryFileIsInItsPlaceAndNothingElse) {
    QStringList expected = {
        QStringLiteral("bin/tqf-editor"),
        QStringLiteral("bin/tqf-tool"),
        QStringLiteral("share/applications/%1.desktop").arg(AppId()),
        QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId()),
        QStringLiteral("share/mime/packages/tqf-editor.xml"),
        QStringLiteral("share/icons/hicolor/scalable/apps/tqf-editor.svg"),
        QStringLiteral("share/man/man1/tqf-editor.1.gz"),
        QStringLiteral("share/man/man1/tqf-tool.1.gz"),
        QStringLiteral("share/doc/tqf-editor/copyright"),
        QStringLiteral("share/doc/tqf-editor/changelog.gz"),
    };
    for (const int size : ICON_SIZES) {
        expected.append(QStringLiteral("share/icons/hicolor/%1x%1/apps/tqf-editor.png").arg(size));
    }
    expected.sort();

    // The MIME database that the fixture built beside the packages and the
    // desktop entries' cache are not installed; everything else is.
    QStringList found;
    QDirIterator walk(Prefix(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString relative = QDir(Prefix()).relativeFilePath(walk.next());
        if ((!relative.startsWith(QStringLiteral("share/mime/")) ||
             relative.startsWith(QStringLiteral("share/mime/packages/"))) &&
            relative != QStringLiteral("share/applications/mimeinfo.cache")) {
            found.append(relative);
        }
    }
    found.sort();
    EXPECT_EQ(found, expected);

    for (const char* program : {"bin/tqf-editor", "bin/tqf-tool"}) {
        EXPECT_TRUE(QFileInfo(Installed(QString::fromLatin1(program))).isExecutable()) << program;
    }
}

TEST(InstalledFilesTest, TheInstalledProgramsTellTheirVersion) {
    for (const char* program : {"tqf-editor", "tqf-tool"}) {
        const ProgramRun run = RunProgram(Installed(QStringLiteral("bin/%1").arg(QString::fromLatin1(program))),
                                          {QStringLiteral("--version")});
        EXPECT_EQ(run.status, 0) << program;
        EXPECT_EQ(run.out,
                  QStringLiteral("%1 %2\n").arg(QString::fromLatin1(program), QString::fromLatin1(TQF_VERSION)));
        EXPECT_EQ(run.err, QString()) << program;
    }
}

TEST(InstalledFilesTest, TheValidatorsFindNothingToSay) {
    const ProgramRun desktop = RunProgram(QStringLiteral("desktop-file-validate"), {DesktopEntry()});
    EXPECT_EQ(desktop.status, 0) << desktop.err.toStdString();
    EXPECT_EQ(desktop.out + desktop.err, QString());

    // Pedantic hints aside, nothing: no error, no warning, no information.
    const ProgramRun metainfo =
        RunProgram(QStringLiteral("appstreamcli"),
                   {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--strict"), Metainfo()});
    EXPECT_EQ(metainfo.status, 0) << metainfo.out.toStdString() << metainfo.err.toStdString();
}

TEST(InstalledFilesTest, TheDesktopEntryNamesWhatIsInstalled) {
    QSettings entry(DesktopEntry(), QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    const QString exec = entry.value(QStringLiteral("Exec")).toString();
    // A file from the file manager reaches the editor as its one argument.
    EXPECT_EQ(exec, QStringLiteral("tqf-editor %f"));
    EXPECT_TRUE(QFileInfo::exists(Installed(QStringLiteral("bin/") + exec.section(QLatin1Char(' '), 0, 0))));
    const QString icon = entry.value(QStringLiteral("Icon")).toString();
    EXPECT_TRUE(QFileInfo::exists(Installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon))));
    // QSettings reads the list "text/x-tqf;" as one or two values.
    EXPECT_TRUE(entry.value(QStringLiteral("MimeType")).toStringList().contains(QString::fromLatin1(MIME_TYPE)));
    // The window's class, by which the desktop ties the running editor to it.
    EXPECT_EQ(entry.value(QStringLiteral("StartupWMClass")).toString(), QString::fromUtf8(PRODUCT_NAME));
}

TEST(InstalledFilesTest, XdgUtilsOutsideADesktopEnvironmentOpenALibraryInTheEditor) {
    const QString library = QStringLiteral(TQF_SOURCE_DIR "/examples/standard-messages.TQF");
    const ProgramRun type =
        RunProgram(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), library});
    EXPECT_EQ(type.out.trimmed(), QString::fromLatin1(MIME_TYPE)) << type.err.toStdString();
    const ProgramRun opener =
        RunProgram(QStringLiteral("xdg-mime"),
                   {QStringLiteral("query"), QStringLiteral("default"), QString::fromLatin1(MIME_TYPE)});
    EXPECT_EQ(opener.out.trimmed(), AppId() + QStringLiteral(".desktop")) << opener.err.toStdString();
}

TEST(InstalledFilesTest, LibrariesAreKnownByTheirNameInAnyCaseAndByTheirFirstLine) {
    const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForName(QString::fromLatin1(MIME_TYPE));
    ASSERT_TRUE(type.isValid()) << "the installed MIME type is not found";
    EXPECT_TRUE(type.inherits(QStringLiteral("text/plain")));
    for (const char* name : {"library.TQF", "library.tqf", "Library.Tqf"}) {
        EXPECT_EQ(database.mimeTypeForFile(QString::fromLatin1(name), QMimeDatabase::MatchExtension).name(),
                  QString::fromLatin1(MIME_TYPE))
            << name;
    }

    // A library saved under a name without the extension, as the editor
    // writes it.
    FormatTree document;
    FormatReader reader(document);
    ASSERT_TRUE(reader.ReadFormatFile(TQF_SOURCE_DIR "/examples/standard-messages.TQF").Complete());
    ASSERT_NE(document.GetRootNode()->FirstChild(), nullptr);
    std::ostringstream text;
    ASSERT_TRUE(FormatWriter::WriteFormatFile(document.GetRootNode(), text));
    const QByteArray saved = QByteArray::fromStdString(text.str());
    EXPECT_EQ(database.mimeTypeForData(saved).name(), QString::fromLatin1(MIME_TYPE));
    EXPECT_EQ(database.mimeTypeForData("\xEF\xBB\xBF" + saved).name(), QString::fromLatin1(MIME_TYPE));
    // Other text is not taken for a library.
    EXPECT_NE(database.mimeTypeForData(QByteArrayLiteral("S1F1W.\r\n")).name(), QString::fromLatin1(MIME_TYPE));
    EXPECT_NE(database.mimeTypeForData(QByteArrayLiteral("/* TALVO */\r\nS1F1W.\r\n")).name(),
              QString::fromLatin1(MIME_TYPE));
}

TEST(InstalledFilesTest, TheIconPicturesHaveTheirSizesAndMatchTheWindowIcon) {
    for (const int size : ICON_SIZES) {
        const QImage picture(Installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/tqf-editor.png").arg(size)));
        ASSERT_FALSE(picture.isNull()) << size;
        EXPECT_EQ(picture.size(), QSize(size, size));
        EXPECT_TRUE(picture.hasAlphaChannel()) << size;
    }
    // At the window icon's own size the picture is the same, pixel for pixel.
    const QImage installed = QImage(Installed(QStringLiteral("share/icons/hicolor/32x32/apps/tqf-editor.png")))
                                 .convertToFormat(QImage::Format_ARGB32);
    const QImage window = AppIcon::Image().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(installed.size(), window.size());
    int differing = 0;
    for (int y = 0; y < window.height(); ++y) {
        for (int x = 0; x < window.width(); ++x) {
            const QRgb a = installed.pixel(x, y);
            const QRgb b = window.pixel(x, y);
            // Transparent pixels may differ in their colour channels.
            if (qAlpha(a) != qAlpha(b) || (qAlpha(a) != 0 && a != b)) {
                ++differing;
            }
        }
    }
    EXPECT_EQ(differing, 0);
}

} // namespace
} // namespace tqf

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tqf::test::PrepareHeadlessEnvironment();
    // The MIME database is the prefix's alone: what the package brings,
    // without the user's own types. (Qt 6.4 lets a lower-priority magic
    // match of another folder win, such as C source's "/*"; the desktop's
    // own lookups, gio and xdg-mime, weigh them correctly.)
    qputenv("XDG_DATA_DIRS", QByteArrayLiteral(TQF_TEST_PREFIX "/share"));
    qputenv("XDG_DATA_HOME", QByteArrayLiteral(TQF_TEST_PREFIX "/no-user-data"));
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
