#include "FileFilter.h"

#include <QFileInfo>

namespace tqf {

namespace {

constexpr QChar FILTER_SEPARATOR = QLatin1Char('|');
constexpr QChar PATTERN_SEPARATOR = QLatin1Char(';');

// The pattern that means every file where "*.*" is written.
QString QtPattern(const QString& pattern) {
    const QString trimmed = pattern.trimmed();
    return trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed;
}

// The description without a parenthesised part at its end, which repeats the
// patterns for the reader and would otherwise be taken for them.
QString BareDescription(const QString& description) {
    QString text = description.trimmed();
    if (text.endsWith(QLatin1Char(')'))) {
        const qsizetype open = text.lastIndexOf(QLatin1Char('('));
        if (open > 0) {
            text = text.left(open).trimmed();
        }
    }
    return text;
}

} // namespace

QStringList FileFilter::ToNameFilters(const QString& filter) {
    const QStringList parts = filter.split(FILTER_SEPARATOR);
    QStringList nameFilters;
    // A pair needs both its parts; the empty parts that end the list stop it.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty() && parts[i + 1].isEmpty()) {
            break;
        }
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(PATTERN_SEPARATOR, Qt::SkipEmptyParts)) {
            if (!pattern.trimmed().isEmpty()) {
                patterns.append(QtPattern(pattern));
            }
        }
        if (patterns.isEmpty()) {
            patterns.append(QStringLiteral("*"));
        }
        QString bare = BareDescription(description);
        if (bare.isEmpty()) {
            bare = patterns.join(QLatin1Char(' '));
        }
        nameFilters.append(bare + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return nameFilters;
}

QString FileFilter::DefaultSuffix(const QString& defaultExtension) {
    QString suffix = defaultExtension.trimmed();
    if (suffix.startsWith(QLatin1Char('*'))) {
        suffix.remove(0, 1);
    }
    if (suffix.startsWith(QLatin1Char('.'))) {
        suffix.remove(0, 1);
    }
    if (suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?'))) {
        return {};
    }
    return suffix;
}

QString FileFilter::OpenTarget(const QString& typed, const QString& defaultExtension) {
    const QFileInfo info(typed);
    const QString suffix = DefaultSuffix(defaultExtension);
    if (suffix.isEmpty() || info.exists() || info.isSymLink() || info.fileName().contains(QLatin1Char('.'))) {
        return typed;
    }
    return typed + QLatin1Char('.') + suffix;
}

} // namespace tqf
