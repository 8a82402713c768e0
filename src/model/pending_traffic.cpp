// Placeholders until this subsystem is built; the file goes when it is.
#include "model/model.h"

namespace velmora {

void Model::SimulationStep() {}
void Model::AdvanceTravellers() {}
void Model::DrawLinkLoads() {}

}  // namespace velmora
