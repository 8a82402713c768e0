// The network at work: node creation, the formation passes, the link loads, the catchment of
// every cell by its nearest node, and the drawing of nodes and links. The node's own methods
// (TAgent, declared in network.h) are defined here too.
#pragma once

#include <cstdint>

#include "canvas/canvas.h"
#include "model/network.h"
#include "model/progress.h"
#include "model/town.h"

namespace velmora {

// One velocity component of a push: the jitter plus a twentieth of the offset from the nearest
// node, worked out in extended precision and stored as a double.
double PushVelocity(int32_t jitter, int64_t offset);

// Appends n + 1 nodes at random positions within imageWidth x imageHeight, with the start
// values; a negative n adds none. Refuses a count beyond kMaxNodes before anything changes.
void CreateNodes(Network& network, int32_t n, int32_t imageWidth, int32_t imageHeight);
// `passes` formation passes over the network's nodes within a field of fieldWidth x
// fieldHeight, as that many FormationPass calls would run them: "agents create" runs 5c + 1 of
// them in one go, so that the candidates and links are filled in only in the last.
void FormNetwork(Network& network, int64_t passes, int32_t fieldWidth, int32_t fieldHeight,
                 const Progress& progress = kNoProgress);
// Moves a point into the field 0..fieldWidth x 0..fieldHeight.
void ClampToField(int32_t& x, int32_t& y, int32_t fieldWidth, int32_t fieldHeight);
// Gives every node one link-load counter per node (new counters 0).
void SizeLinkLoads(Network& network, const Progress& progress = kNoProgress);
// Sets every node's link-load counters to 0.
void ClearLinkLoads(Network& network, const Progress& progress = kNoProgress);

// Every cell's nearestNode: the index of the nearest node, the lowest index among equals.
void AssignNearestNodes(Town& town, const Network& network, const Progress& progress = kNoProgress);
// The nodes' discs, and the red links between the snapshots of the last pass.
void DrawNodes(Network& network, Canvas& canvas);
void DrawLinks(const Network& network, Canvas& canvas);

}  // namespace velmora
