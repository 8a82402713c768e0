// The model over a headless host with the default edit texts, for the model tests.
#pragma once

#include "headless/headless_host.h"
#include "model/model.h"

namespace velmora::testing {

struct ModelFixture {
  HeadlessHost host;
  Model model{host};
  // Runs the window's create handler (grid setup and time scale).
  void Start() { model.FormCreate(); }
};

}  // namespace velmora::testing
