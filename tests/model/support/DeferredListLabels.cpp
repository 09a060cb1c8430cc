#include "DeferredListLabels.h"

#include "TreeSurgery.h"

namespace tqf {

DeferredListLabels::DeferredListLabels(FormatTree& tree) : tree_(tree) { TreeSurgery::HoldListLabels(tree_); }

DeferredListLabels::~DeferredListLabels() { TreeSurgery::ReleaseListLabels(tree_); }

} // namespace tqf
