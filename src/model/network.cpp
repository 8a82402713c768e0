// The node list and the network's own rules: appending nodes and removing them all together.
#include "model/network.h"

#include <cassert>

#include "core/error.h"

namespace velmora {

void NodeList::push_back(std::unique_ptr<TAgent> node) {
  assert(node != nullptr && node->index_ == kNoNode);
  node->index_ = static_cast<int32_t>(nodes_.size());
  nodes_.push_back(std::move(node));
}

void Network::DeleteNodes(const Progress& progress) {
  routeList.clear();
  const double share = 1.0 / static_cast<double>(holders_.size() + 1);
  for (size_t k = 0; k < holders_.size(); ++k)
    holders_[k]->DropNodeReferences(ProgressPart(progress, share * k, share * (k + 1)));
  nodeList.clear();
  progress.Report(1.0, "removing the network");
}

TAgent* Network::NodeAt(long long index) const {
  if (index < 0 || index >= static_cast<long long>(nodeList.size())) throw VError::ListIndex(index);
  return nodeList[static_cast<size_t>(index)].get();
}

int32_t Network::IndexOfNode(const TAgent* node) const {
  // A node knows its index; the list confirms it holds the node there.
  if (node == nullptr) return kNoNode;
  const int32_t index = node->Index();
  if (index < 0 || static_cast<size_t>(index) >= nodeList.size() ||
      nodeList[static_cast<size_t>(index)].get() != node)
    return kNoNode;
  return index;
}

}  // namespace velmora
