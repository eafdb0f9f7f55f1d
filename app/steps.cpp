// The migration steps of the window. Each decides by its own check boxes
// whether it does anything.
#include "app/tf_main.h"

namespace app {

void TfMain::VerifyCounts() {}
void TfMain::CreateSupportingObjects() {}

}  // namespace app
