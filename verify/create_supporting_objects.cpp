// The supporting-object script of the installation, run against the target.
#include "app/tf_main.h"

namespace app {

void TfMain::CreateSupportingObjects() {
  if (!cbMigrateProgramSQLObjects.checked) return;
  WriteStepBanner("Supporting Objects", true);

  sb.visible = true;
  sb.panels[0].text = cbMigrateProgramSQLObjects.caption;
  sb.panels[1].visible = false;
  sb.panels[2].visible = true;
  sb.panels[4].visible = false;
  pb.min = 0;
  pb.max = 1;
  pb.position = 0;
  host_.ProcessMessages();

  msScript.SQL.LoadFromFile(ProgramFile().parent_path() / "MigrateSupportObjects.sql");
  msScript.Execute();

  pb.position = 1;
  sb.panels[2].text = std::to_string(pb.position);
  host_.ProcessMessages();
  cbMigrateProgramSQLObjectsDone.checked = true;
  WriteStepBanner("Supporting Objects", false);
  sb.visible = false;
}

}  // namespace app
