#include "DeferredListLabels.h"

#include "FormatTree.h"

namespace tqf {

DeferredListLabels::DeferredListLabels(FormatTree& tree) : tree_(tree) { ++tree_.deferrals_; }

DeferredListLabels::~DeferredListLabels() {
    if (--tree_.deferrals_ == 0) {
        tree_.RelabelDeferredLists();
    }
}

} // namespace tqf
