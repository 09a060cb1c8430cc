#pragma once

namespace tqf {

class FormatTree;

// While one of these lives, adding and deleting nodes through TreeSurgery
// under a fixed list still counts them, but the list keeps its label; when the last one ends,
// every list counted meanwhile gets the label of its final count. A caller
// that adds many nodes in a row thus labels each list once instead of once
// per sub-node, and the document ends up exactly as without it.
class DeferredListLabels {
public:
    explicit DeferredListLabels(FormatTree& tree);
    DeferredListLabels(const DeferredListLabels&) = delete;
    DeferredListLabels& operator=(const DeferredListLabels&) = delete;
    ~DeferredListLabels();

private:
    FormatTree& tree_;
};

} // namespace tqf
