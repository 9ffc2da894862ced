// A client started on its own in-process simulator: the simulator plays the
// fleet, the demo working folder names its devices, the stored servers log in.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "demo_workdir.h"
#include "model_test_util.h"
#include "simulator.h"
#include "tavimor_app.h"

namespace client_test {

struct SimClient {
  model_test::TempDir dir;
  model_test::Recorder messages;
  std::unique_ptr<orvsim::Simulator> sim;
  std::unique_ptr<CTavimorApp> app;

  // Call with ASSERT_NO_FATAL_FAILURE.
  void start(const char* fleet_text) {
    auto fleet = orvsim::parse_fleet(fleet_text);
    ASSERT_TRUE(fleet.ok()) << fleet.error;
    orvsim::SimulatorOptions o;
    o.fleet = *fleet.fleet;
    sim = std::make_unique<orvsim::Simulator>(std::move(o));
    ASSERT_TRUE(sim->start()) << sim->error();
    demo::DemoOptions d;
    d.auth_port = sim->http_port();
    ASSERT_TRUE(demo::write_demo_workdir(*fleet.fleet, d, dir.path()));
    AppOptions a;
    a.working_folder = dir.path();
    app = std::make_unique<CTavimorApp>(a, &messages);
    ASSERT_TRUE(app->InitInstance());
  }
};

}  // namespace client_test
