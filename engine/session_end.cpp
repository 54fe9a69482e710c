#include "engine/session_end.h"

#include "engine/engine_context.h"
#include "engine/engine_state.h"
#include "engine/resume_files.h"
#include "util/run_program.h"

namespace sx {

bool SaveForResume(TsxInstallState state, const std::string& data) {
  TEngineContext* engine = CurrentEngine();
  if (!engine) return false;
  TsxMainDatabase& database = engine->Database();
  database.InstallState = state;
  database.InstallStateData = data;
  // A state that was not saved cannot be resumed: the session must not end on its strength.
  if (!SaveResumeState(EngineState().TempDir)) return false;
  EngineState().ResumePending = true;
  return true;
}

bool AnswerSessionEnd() {
  TEngineContext* engine = CurrentEngine();
  if (!engine || EngineState().ResumeMode) return false;
  TsxMainDatabase& database = engine->Database();
  if (database.InstallState == TsxInstallState::isUnknown) return false;
  if (!SaveForResume(database.InstallState, database.InstallStateData)) return false;
  SessionEnding = true;
  return true;
}

}  // namespace sx
