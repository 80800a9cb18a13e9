#include "app/program.h"

#include <new>

#include "finish/errore.h"
#include "platform/runtime_failure.h"
#include "platform/window.h"

namespace app {

int run_program(const std::function<void(model::Scenario&)>& work) {
  try {
    model::Scenario scenario;
    work(scenario);
    return kExitNormal;
  } catch (const finish::IdentityError& end) {
    platform::message_box(end.message());
    return kExitIdentityError;
  } catch (const platform::RuntimeFailure& failure) {
    platform::report_failure(failure.number(), failure.what());
    return kExitRuntimeFailure;
  } catch (const std::bad_alloc&) {
    platform::report_failure(7, "out of memory");
    return kExitRuntimeFailure;
  }
}

}  // namespace app
