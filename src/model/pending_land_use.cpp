// Placeholders until this subsystem is built; the file goes when it is.
#include "model/model.h"

namespace velmora {

void Model::LoadLandUse() {}
void Model::ApplyShowFilter() {}
void Model::AssignWorkplaces() {}
void Model::DrawLinesToWork() {}

}  // namespace velmora
