// The player on Linux: the help card opens first, then the player window.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/player_session.h"
#include "app/start_glut.h"
#include "platform/glut_init.h"
#include "platform/help_card.h"

// GLUT ends the process with its own message when there is no display; say
// what is missing before anything starts.
static bool displayOpens(const StartOptions& options) {
  const char* name = options.display.empty() ? std::getenv("DISPLAY") : options.display.c_str();
  Display* display = XOpenDisplay(options.display.empty() ? nullptr : name);
  if (display) {
    XCloseDisplay(display);
    return true;
  }
  if (!name || !*name)
    std::fprintf(stderr, "plinkar: no X display to open: DISPLAY is not set\n");
  else
    std::fprintf(stderr, "plinkar: can't open the X display \"%s\"\n", name);
  return false;
}

int main(int argc, char** argv) {
  const StartOptions options = parseCommandLine(argc, argv);
  const int answered = answerCommandLine(options, stdout, stderr);
  if (answered >= 0) return answered;
  std::string problem;
  if (!prepareSession(options, &problem)) {
    std::fprintf(stderr, "plinkar: %s\n", problem.c_str());
    return 1;
  }
  if (!findPlayerData() || !displayOpens(options)) return 1;

  setGlutArguments(&argc, argv);
  initAppState();
  startPlayerSession(options);
  openHelpCard();
  startGlut();
  return 0;
}
