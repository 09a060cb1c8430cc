#include "FileFilter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tqf {
namespace {

TEST(FileFilterTest, FormatFileFilterBecomesTwoQtFilters) {
    EXPECT_EQ(FileFilter::ToNameFilters(QStringLiteral("Format File (*.TQF)|*.TQF|All Files (*.*)|*.*||")),
              QStringList({QStringLiteral("Format File (*.TQF)"), QStringLiteral("All Files (*)")}));
}

TEST(FileFilterTest, PatternsComeFromThePatternPartNotTheDescription) {
    // The description may name other patterns than the ones that apply, or
    // none; several patterns are separated by semicolons.
    EXPECT_EQ(FileFilter::ToNameFilters(QStringLiteral("Pictures (*.jpg)|*.bmp;*.dib||")),
              QStringList({QStringLiteral("Pictures (*.bmp *.dib)")}));
    EXPECT_EQ(FileFilter::ToNameFilters(QStringLiteral("Bitmaps|*.bmp||")),
              QStringList({QStringLiteral("Bitmaps (*.bmp)")}));
}

TEST(FileFilterTest, UnfinishedAndEmptyFiltersGiveWhatIsComplete) {
    EXPECT_EQ(FileFilter::ToNameFilters(QStringLiteral("A (*.a)|*.a")), QStringList({QStringLiteral("A (*.a)")}));
    EXPECT_EQ(FileFilter::ToNameFilters(QStringLiteral("A (*.a)|*.a|B only")),
              QStringList({QStringLiteral("A (*.a)")}));
    EXPECT_TRUE(FileFilter::ToNameFilters(QString()).isEmpty());
    EXPECT_TRUE(FileFilter::ToNameFilters(QStringLiteral("||")).isEmpty());
    EXPECT_EQ(FileFilter::ToNameFilters(QStringLiteral("|*.x||")), QStringList({QStringLiteral("*.x (*.x)")}));
    EXPECT_EQ(FileFilter::ToNameFilters(QStringLiteral("Any||")), QStringList({QStringLiteral("Any (*)")}));
}

TEST(FileFilterTest, DefaultSuffixDropsWildcardAndDot) {
    EXPECT_EQ(FileFilter::DefaultSuffix(QStringLiteral("*.TQF")), QStringLiteral("TQF"));
    EXPECT_EQ(FileFilter::DefaultSuffix(QStringLiteral(".TQF")), QStringLiteral("TQF"));
    EXPECT_EQ(FileFilter::DefaultSuffix(QStringLiteral("TQF")), QStringLiteral("TQF"));
    EXPECT_TRUE(FileFilter::DefaultSuffix(QStringLiteral("*.*")).isEmpty());
    EXPECT_TRUE(FileFilter::DefaultSuffix(QString()).isEmpty());
}

TEST(FileFilterTest, AnOpenedNameGetsTheExtensionOnlyWhereItNamesNoFileAsTyped) {
    QTemporaryDir folder;
    for (const char* name : {"plainlib", "lib.TQF"}) {
        QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    }
    const std::pair<const char*, const char*> cases[] = {
        {"plainlib", "plainlib"}, {"lib", "lib.TQF"}, {"new", "new.TQF"}, {"notes.sml", "notes.sml"}};
    for (const auto& [typed, opened] : cases) {
        EXPECT_EQ(FileFilter::OpenTarget(folder.filePath(QString::fromLatin1(typed)), QStringLiteral("*.TQF")),
                  folder.filePath(QString::fromLatin1(opened)));
    }
}

} // namespace
} // namespace tqf
