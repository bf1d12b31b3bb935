// Program entry: one instance, the command line, the package, the mode's window, the loop.
#include <exception>
#include <memory>

#include "package/content.h"
#include "package/file_system.h"
#include "package/payload.h"
#include "package/temp_folder.h"
#include "platform/error_report.h"
#include "platform/message_loop.h"
#include "platform/process_info.h"
#include "platform/session.h"
#include "startup/command_line.h"
#include "startup/main_forms.h"
#include "startup/password.h"
#include "startup/program.h"
#include "startup/run_state.h"

namespace flashsaver {
namespace {

constexpr char kMutexName[] = "korvanlabsscreensaverflash";

std::unique_ptr<Window> CreateMainWindow() {
  switch (RunMode) {
    case kModeConfigure:
    case kModeConfigureSwitch:
      return CreateConfigForm();
    case kModeShow:
      return CreateShowForm();
    case kModePreview:
      return CreatePreviewForm(ChoosePreviewForm());
    default:
      return nullptr;
  }
}

void Dispatch() {
  if (StandAloneRun) {
    std::unique_ptr<Window> show = CreateShowForm();
    RunMessageLoop(show.get());
    return;
  }
  if (RunMode == kModeChangePassword && ParamWindow != 0) {
    ChangeSaverPassword();
    return;
  }
  InitializeCom();
  {
    std::unique_ptr<Window> main_window = CreateMainWindow();
    RunMessageLoop(main_window.get());
  }
  if (RunMode == kModeShow && SavedForegroundWindow != 0) {
    GiveForegroundTo(SavedForegroundWindow);
  }
}

int Run() {
  if (!AcquireSingleInstance(kMutexName)) return 0;
  ClaimTempFolder();
  try {
    const CommandLine command_line = ParseCommandLine(ProcessCommandLine());
    RunMode = command_line.run_mode;
    ParamWindow = command_line.param_window;
    if (command_line.save_foreground) {
      SavedForegroundWindow = CurrentForegroundWindow();
    }
    ProgramFilePath = ModuleFileName();
    LocatePackage();
    LoadContent();
    Dispatch();
  } catch (const std::exception& e) {
    ReportFatalError(e, __builtin_extract_return_addr(__builtin_return_address(0)));
    return 1;
  }
  return 0;
}

}  // namespace

int ProgramMain() {
  TempFolderStartup(SystemFileSystem(), SystemTempPath());
  const int exit_code = Run();
  TempFolderCleanup(SystemFileSystem());
  return exit_code;
}

}  // namespace flashsaver
