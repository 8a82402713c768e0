// Placeholders until this subsystem is built; the file goes when it is.
#include "model/model.h"

namespace velmora {

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
void TAgent::Draw(Canvas&) {}
void TAgent::NeigborCheck(int32_t, const NodeList&) {}
void TAgent::LinkAndRepel(const NodeList&) {}

}  // namespace velmora
