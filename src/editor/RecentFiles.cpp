#include "RecentFiles.h"

#include <QSettings>
#include <QtGlobal>

namespace tqf {

namespace {

constexpr const char* SETTINGS_NAME = "tqf-editor";
constexpr const char* PATHS_KEY = "recentFiles";
constexpr const char* SWITCH_OFF_VARIABLE = "TQF_NO_SETTINGS";

bool settingsSwitchedOff = false;

} // namespace

RecentFiles::RecentFiles(std::unique_ptr<QSettings> settings) : settings_(std::move(settings)) { Load(); }

RecentFiles::~RecentFiles() = default;

std::unique_ptr<QSettings> RecentFiles::UserSettings() {
    if (settingsSwitchedOff || !qEnvironmentVariableIsEmpty(SWITCH_OFF_VARIABLE)) {
        return nullptr;
    }
    // A plain text file of the user's (~/.config/tqf-editor/tqf-editor.ini on
    // Linux), the same on every platform.
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(SETTINGS_NAME),
                                       QString::fromLatin1(SETTINGS_NAME));
}

void RecentFiles::SwitchOffSettings() { settingsSwitchedOff = true; }

QStringList RecentFiles::Paths() const { return paths_; }

void RecentFiles::Add(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    Load();
    paths_.removeAll(path);
    paths_.prepend(path);
    while (paths_.size() > MAX_FILES) {
        paths_.removeLast();
    }
    Store();
}

void RecentFiles::Remove(const QString& path) {
    Load();
    paths_.removeAll(path);
    Store();
}

void RecentFiles::Load() {
    if (settings_ == nullptr) {
        return;
    }
    settings_->sync();
    QStringList stored = settings_->value(QString::fromLatin1(PATHS_KEY)).toStringList();
    // A hand-edited file may hold empty lines, repeats or too many.
    stored.removeAll(QString());
    stored.removeDuplicates();
    paths_ = stored.mid(0, MAX_FILES);
}

void RecentFiles::Store() const {
    if (settings_ == nullptr) {
        return;
    }
    settings_->setValue(QString::fromLatin1(PATHS_KEY), paths_);
    settings_->sync();
}

} // namespace tqf
