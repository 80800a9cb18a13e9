// scenario_compiler: writes the built-in scenario's texts beside itself and
// compiles them. Exit status 0 after a normal end (compile errors included),
// 2 after an identity error, 1 after a run-time failure.
#include <new>

#include "app/form_load.h"
#include "finish/errore.h"
#include "platform/runtime_failure.h"
#include "platform/window.h"

int main() {
  try {
    model::Scenario scenario;
    app::Form_Load(scenario);
    return 0;
  } catch (const finish::ErroreEnd& end) {
    platform::message_box(end.message());
    return 2;
  } catch (const platform::RuntimeFailure& failure) {
    platform::report_failure(failure.number(), failure.what());
    return 1;
  } catch (const std::bad_alloc&) {
    platform::report_failure(7, "out of memory");
    return 1;
  }
}
