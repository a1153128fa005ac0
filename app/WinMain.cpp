// mirlock.exe: the window program.
#include <windows.h>

#include "app/MirlockApp.h"

namespace {

// The one application object; at process exit it destroys the main window
// object, the searcher and the converter list, in that order.
MirlockApp app;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    if (!app.InitApplication(instance, commandLine, showCommand))
        return 0;
    const int exitCode = app.RunMessageLoop();
    app.EndApplication();
    return exitCode;
}
