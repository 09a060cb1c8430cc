#include "TemporaryFileCleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace tqf {

namespace {

constexpr int SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};

// What the handler removes. It may only read memory that is never freed, so
// the path is copied into a fixed buffer, and the flag says when it holds one.
char pendingPath[PATH_MAX];
std::atomic<bool> armed{false};
std::mutex arming; // one save at a time holds the buffer

void RemovePending(int signal) {
    if (armed.exchange(false)) {
        ::unlink(pendingPath);
    }
    // The handler was installed to reset itself: the signal, raised again,
    // ends the process as it would have without it.
    ::raise(signal);
}

void InstallOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (const int signal : SIGNALS) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
                continue;
            }
            struct sigaction removing {};
            removing.sa_handler = RemovePending;
            sigemptyset(&removing.sa_mask);
            removing.sa_flags = static_cast<int>(SA_RESETHAND);
            (void)::sigaction(signal, &removing, nullptr);
        }
    });
}

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler reads the flag");

} // namespace

TemporaryFileCleanup::TemporaryFileCleanup() {
    InstallOnce();
    arming.lock();
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : SIGNALS) {
        sigaddset(&held, signal);
    }
    (void)::pthread_sigmask(SIG_BLOCK, &held, nullptr);
}

void TemporaryFileCleanup::Arm(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() < sizeof pendingPath) {
        std::memcpy(pendingPath, text.c_str(), text.size() + 1);
        armed.store(true);
    }
    LetSignalsThrough();
}

void TemporaryFileCleanup::LetSignalsThrough() {
    if (!holding_) {
        return;
    }
    holding_ = false;
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : SIGNALS) {
        sigaddset(&held, signal);
    }
    (void)::pthread_sigmask(SIG_UNBLOCK, &held, nullptr);
}

TemporaryFileCleanup::~TemporaryFileCleanup() {
    armed.store(false);
    LetSignalsThrough();
    arming.unlock();
}

} // namespace tqf
