// Operations whose subsystems are not built yet. Each moves to its own file when built.
#include "model/model.h"

namespace velmora {

void Model::LoadLandUse() {}
void Model::ApplyShowFilter() {}
void Model::AssignWorkplaces() {}
void Model::DrawLinesToWork() {}
void Model::B_agCreateClick() {}
void Model::B_agDeleteClick() {}
void Model::E_conDistChange() {}
void Model::CreateNodes() {}
void Model::FormationPass() {}
void Model::ClampToField(int32_t&, int32_t&) const {}
void Model::SizeLinkLoads() {}
void Model::ClearLinkLoads() {}
void Model::AssignNearestNodes() {}
void Model::DrawNodes() {}
void Model::DrawLinks() {}
void Model::ResetRoute() {}
void Model::DrawRoute() {}
void Model::B_findPathClick() {}
void Model::PlanDepartures() {}
void Model::PlanRoutes() {}
void Model::SimulationStep() {}
void Model::AdvanceTravellers() {}
void Model::DrawLinkLoads() {}
int32_t TAgent::DistanceTo(int32_t, int32_t) const { return 0; }
void TAgent::Draw(Canvas&) {}
void TAgent::NeigborCheck(int32_t, const NodeList&) {}
void TAgent::LinkAndRepel(const NodeList&) {}
int32_t PointDistance(int32_t, int32_t, int32_t, int32_t) { return 0; }
void AStarSearch::FindPath(Route&, TAgent*, TAgent*, const NodeList&) {}
int AStarSearch::CompareByF(const TAgent*, const TAgent*) { return 0; }

}  // namespace velmora
