#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace tqf {

// The libraries opened or saved last, newest first, kept between runs in the
// user's settings. Without settings the list lasts for this run only.
class RecentFiles {
public:
    static constexpr int MAX_FILES = 8;

    // settings none keeps the list in memory only.
    explicit RecentFiles(std::unique_ptr<QSettings> settings);
    ~RecentFiles();
    RecentFiles(const RecentFiles&) = delete;
    RecentFiles& operator=(const RecentFiles&) = delete;

    // The settings of the user the editor keeps its list in, or none when
    // they are switched off: by --no-settings (SwitchOffSettings) or by the
    // environment variable TQF_NO_SETTINGS, which tests set so that they
    // never touch the user's files.
    static std::unique_ptr<QSettings> UserSettings();
    static void SwitchOffSettings();

    QStringList Paths() const;
    // Puts path first; the oldest beyond MAX_FILES drop off.
    void Add(const QString& path);
    void Remove(const QString& path);

private:
    // Another window may have changed the list meanwhile: it is read again
    // before each change.
    void Load();
    void Store() const;

    std::unique_ptr<QSettings> settings_;
    QStringList paths_;
};

} // namespace tqf
