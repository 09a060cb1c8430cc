#pragma once

#include <QString>
#include <QStringList>

namespace tqf {

// File dialog filters are written as pairs of a description and its patterns,
// each part ended by "|" and the whole list by a second "|":
// "Format File (*.TQF)|*.TQF|All Files (*.*)|*.*||". Qt's dialogs want one
// entry per pair, with the patterns in parentheses.
class FileFilter {
public:
    // One Qt name filter per pair: the description without its own
    // parenthesised pattern text, then the pair's patterns. "*.*" becomes "*",
    // which matches names without a dot too. Qt's file dialog matches the
    // patterns in any letter case.
    static QStringList ToNameFilters(const QString& filter);

    // The suffix a typed name without extension receives: "*.TQF" and ".TQF"
    // give "TQF"; wildcards and an empty text give none.
    static QString DefaultSuffix(const QString& defaultExtension);

    // The file an open dialog's typed name means: the name as typed when
    // such a file exists or the name has an extension, else the name with
    // the default suffix.
    static QString OpenTarget(const QString& typed, const QString& defaultExtension);
};

} // namespace tqf
