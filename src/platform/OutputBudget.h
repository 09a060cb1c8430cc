#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

namespace tqf {

// Passes what is written on to another stream until one more byte would go
// past a limit; from then on it takes nothing, and the writing stream fails.
// Every writer (Save, Save As, normalize, to-sml, from-sml) writes through
// one, so that no output grows without bound, whatever the document's depth.
class OutputBudget final : public std::streambuf {
public:
    OutputBudget(std::ostream& target, std::uint64_t limit);
    OutputBudget(const OutputBudget&) = delete;
    OutputBudget& operator=(const OutputBudget&) = delete;

    // The limit of every output: what a library may take in memory when it
    // is read, so that whatever is written can be opened again.
    static std::uint64_t Limit();

    // Why an output is refused: it would take needed bytes (nothing when
    // that is not known), more than limit.
    static std::string Reason(std::optional<std::uint64_t> needed, std::uint64_t limit);

    // The stream to write to.
    std::ostream& Stream() { return stream_; }
    // The output would have gone past the limit.
    bool Exceeded() const { return exceeded_; }
    // The reason, for an output that went past the limit.
    std::string Reason() const { return Reason(std::nullopt, limit_); }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    // Whether count more bytes stay within the limit.
    bool Takes(std::uint64_t count);

    std::ostream& target_;
    std::uint64_t limit_;
    std::uint64_t passed_ = 0;
    bool exceeded_ = false;
    std::ostream stream_;
};

} // namespace tqf
