#pragma once

#include <filesystem>

namespace tqf {

// Removes the named temporary file of a save in progress when the process is
// ended by SIGTERM, SIGINT or SIGHUP, then ends it as the signal would have:
// a save that is stopped leaves nothing beside the library. A signal whose
// handling the program has set itself is left alone.
class TemporaryFileCleanup {
public:
    // Holds the signals back until Arm, so that none ends the process
    // between the making of a file and the arming of its removal. One
    // cleanup at a time.
    TemporaryFileCleanup();
    // path is the temporary file until the cleanup goes; a signal held back
    // meanwhile comes through now, and removes it.
    void Arm(const std::filesystem::path& path);
    TemporaryFileCleanup(const TemporaryFileCleanup&) = delete;
    TemporaryFileCleanup& operator=(const TemporaryFileCleanup&) = delete;
    ~TemporaryFileCleanup();

private:
    void LetSignalsThrough();

    bool holding_ = true;
};

} // namespace tqf
