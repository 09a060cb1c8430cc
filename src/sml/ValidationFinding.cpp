#include "ValidationFinding.h"

#include <map>
#include <tuple>

namespace tqf {

std::vector<FindingGroup> GroupFindings(const std::vector<ValidationFinding>& findings) {
    using Key = std::tuple<std::string, std::string, std::string, const FormatNode*, const FormatNode*, bool>;
    std::map<Key, std::size_t> index;
    std::vector<FindingGroup> groups;
    for (const ValidationFinding& finding : findings) {
        const auto [found, added] = index.try_emplace(Key(finding.message, finding.itemPath, finding.reason,
                                                          finding.definition, finding.item, finding.unreadable),
                                                      groups.size());
        if (added) {
            groups.push_back({finding, 0});
        }
        ++groups[found->second].count;
    }
    return groups;
}

} // namespace tqf
