#pragma once

namespace tessera {

class AppModel;

// Demo mode: the window in a chosen scene, without the NAS, the service or the editor's
// settings, driven by the TESSERA_DEMO environment variables and entered once at start-up.
namespace Demo {

// TESSERA_DEMO and TESSERA_DEMO_DIR are both set.
bool isAsked();
// Turns the model into a demo and sets the scene that TESSERA_DEMO names: "drop", "confirm",
// "copying", "fixing", or any other value for a submission waiting for its verdict.
void load(AppModel &model);

} // namespace Demo
} // namespace tessera
