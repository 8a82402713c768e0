// Placeholders until this subsystem is built; the file goes when it is.
#include "model/model.h"

namespace velmora {

void Model::ResetRoute() {}
void Model::DrawRoute() {}
void Model::B_findPathClick() {}
void AStarSearch::FindPath(Route&, TAgent*, TAgent*, const NodeList&) {}
int AStarSearch::CompareByF(const TAgent*, const TAgent*) { return 0; }

}  // namespace velmora
