#include "QtPrompts.h"

#include "FileFilter.h"
#include "SubItemDialog.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFont>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMessageBox>

#include <cmath>

namespace tqf {

namespace {

constexpr double TENTHS_PER_POINT = 10.0;

QMessageBox::Icon BoxIcon(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Error:
        return QMessageBox::Critical;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Qt's own file dialog on every platform: its pattern matching ignores letter
// case, so "*.TQF" also finds "library.tqf" on Linux.
void PrepareFileDialog(QFileDialog& dialog, const QString& filter, const QString& defaultExtension,
                       const QString& folder) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    dialog.setNameFilters(FileFilter::ToNameFilters(filter));
    dialog.setDefaultSuffix(FileFilter::DefaultSuffix(defaultExtension));
}

std::optional<QString> RunFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return files.front();
}

} // namespace

QtPrompts::QtPrompts(QWidget* owner) : owner_(owner) {}

QString QtPrompts::ApplicationTitle() {
    const QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QGuiApplication::applicationName() : title;
}

void QtPrompts::ShowMessage(const QString& text, const QString& caption, PromptIcon icon) {
    QMessageBox box(BoxIcon(icon), caption.isEmpty() ? ApplicationTitle() : caption, text, QMessageBox::Ok, owner_);
    box.exec();
}

bool QtPrompts::AskYesNo(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool QtPrompts::AskYesNoDefaultNo(const QString& caption, const QString& text) {
    return AskYesNoDefaultNoAbout(caption, text, QString());
}

bool QtPrompts::AskYesNoDefaultNoAbout(const QString& caption, const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, owner_);
    box.setInformativeText(detail);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::ChooseOpenFile(const QString& filter, const QString& defaultExtension,
                                                 bool mustExist) {
    return ChooseOpenFileTitled(QString(), filter, defaultExtension, mustExist);
}

std::optional<QString> QtPrompts::ChooseSaveFile(const QString& filter, const QString& defaultExtension) {
    return ChooseSaveFileTitled(QString(), filter, defaultExtension);
}

std::optional<QString> QtPrompts::ChooseOpenFileTitled(const QString& title, const QString& filter,
                                                       const QString& defaultExtension, bool mustExist) {
    QFileDialog dialog(owner_);
    PrepareFileDialog(dialog, filter, defaultExtension, folder_);
    // A typed name is taken as it is when such a file exists: the suffix is
    // added only after the dialog, where it names an existing file.
    dialog.setDefaultSuffix(QString());
    if (!title.isEmpty()) {
        dialog.setWindowTitle(title);
    }
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const std::optional<QString> typed = RunFileDialog(dialog);
    if (!typed) {
        return std::nullopt;
    }
    return FileFilter::OpenTarget(*typed, defaultExtension);
}

std::optional<QString> QtPrompts::ChooseSaveFileTitled(const QString& title, const QString& filter,
                                                       const QString& defaultExtension) {
    // The save dialog asks before it replaces an existing file, also one whose
    // name got the default suffix.
    QFileDialog dialog(owner_);
    PrepareFileDialog(dialog, filter, defaultExtension, folder_);
    if (!title.isEmpty()) {
        dialog.setWindowTitle(title);
    }
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return RunFileDialog(dialog);
}

std::optional<QColor> QtPrompts::ChooseColor(const QColor& initial) {
    const QColor color = QColorDialog::getColor(initial, owner_);
    if (!color.isValid()) {
        return std::nullopt;
    }
    return color;
}

std::optional<FontChoice> QtPrompts::ChooseFont(const FontChoice& initial) {
    QFont font(initial.faceName);
    font.setPointSizeF(initial.pointSizeTenths / TENTHS_PER_POINT);
    font.setWeight(static_cast<QFont::Weight>(initial.weight));
    font.setItalic(initial.italic);
    bool accepted = false;
    const QFont chosen = QFontDialog::getFont(&accepted, font, owner_);
    if (!accepted) {
        return std::nullopt;
    }
    FontChoice choice;
    choice.pointSizeTenths = static_cast<int>(std::lround(chosen.pointSizeF() * TENTHS_PER_POINT));
    choice.weight = static_cast<int>(chosen.weight());
    choice.italic = chosen.italic();
    choice.faceName = chosen.family();
    return choice;
}

std::optional<SubItemChoice> QtPrompts::RunSubItemDialog(int listChildCount) {
    SubItemDialog dialog(owner_);
    dialog.listChildCount = listChildCount;
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Choice();
}

} // namespace tqf
