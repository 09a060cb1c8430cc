#include "OutputBudget.h"

#include "MemoryBudget.h"

namespace tqf {

namespace {

constexpr std::uint64_t MEGABYTE = std::uint64_t{1} << 20;

// A size as people read it: bytes below a megabyte, else whole megabytes,
// rounded up for what is needed and down for a limit, so that the two never
// read alike.
std::string SizeText(std::uint64_t bytes, bool roundUp) {
    if (bytes < MEGABYTE) {
        return std::to_string(bytes) + " bytes";
    }
    return std::to_string((bytes + (roundUp ? MEGABYTE - 1 : 0)) / MEGABYTE) + " MB";
}

} // namespace

OutputBudget::OutputBudget(std::ostream& target, std::uint64_t limit) : target_(target), limit_(limit), stream_(this) {}

std::uint64_t OutputBudget::Limit() { return LibraryMemoryBudget(); }

std::string OutputBudget::Reason(std::optional<std::uint64_t> needed, std::uint64_t limit) {
    const std::string need = needed ? SizeText(*needed, true) + ", more" : "more";
    return "the file would take " + need + " than the " + SizeText(limit, false) +
           " a library may take here (a quarter of the memory this program may use)";
}

bool OutputBudget::Takes(std::uint64_t count) {
    if (exceeded_ || count > limit_ - passed_) {
        exceeded_ = true;
        return false;
    }
    return true;
}

OutputBudget::int_type OutputBudget::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    if (!Takes(1) || !target_.put(traits_type::to_char_type(c))) {
        return traits_type::eof();
    }
    ++passed_;
    return c;
}

std::streamsize OutputBudget::xsputn(const char* data, std::streamsize count) {
    if (count <= 0) {
        return 0;
    }
    if (!Takes(static_cast<std::uint64_t>(count)) || !target_.write(data, count)) {
        return 0;
    }
    passed_ += static_cast<std::uint64_t>(count);
    return count;
}

int OutputBudget::sync() { return target_.flush() ? 0 : -1; }

} // namespace tqf
