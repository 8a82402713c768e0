// Limits of the road network.
#pragma once

#include <cstdint>

namespace velmora {

// Most nodes nodeList may hold. Every node keeps one link-load counter per node, so the counters
// grow with the square of the count: 10,000 nodes take 100 million counters (400 MB), and links
// and candidates can reach as many entries again when the connect distance spans the field.
// "agents create" refuses a count that would go beyond this before it changes anything.
constexpr int64_t kMaxNodes = 10000;

class Model;

// `passes` formation passes over the model's nodes, as that many FormationPass calls would run
// them: "agents create" runs 5c + 1 of them in one go, so that the candidates and links are
// filled in only in the last.
void FormNetwork(Model& model, int64_t passes);

}  // namespace velmora
