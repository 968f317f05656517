#include "app/command_line.h"

#ifndef _WIN32
#include <limits.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>

namespace {

const char* const kProbe = "data/piano.obj";

// GLUT's X options, and whether each takes a value.
struct XOption {
  const char* name;
  bool takesValue;
};
const XOption kXOptions[] = {{"-display", true}, {"-geometry", true},  {"-iconic", false},
                             {"-direct", false}, {"-indirect", false}, {"-gldebug", false},
                             {"-sync", false}};

// The player's own options that take a value.
const char* const kValueOptions[] = {"--voices", "--midi-connect", "--play", "--record"};

// 1 to 32 in plain decimal digits, else 0.
int voiceCount(const char* text) {
  if (std::strlen(text) > 2 || !*text) return 0;
  for (const char* c = text; *c; c++)
    if (*c < '0' || *c > '9') return 0;
  const int count = std::atoi(text);
  return count >= 1 && count <= 32 ? count : 0;
}

#ifndef _WIN32
bool exists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

// <folder of the executable>/../share/plinkar, or empty when it is unknown.
std::string installedDataFolder() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return "";
  std::string path(self, static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return path.substr(0, slash) + "/../share/plinkar";
}
#endif

}  // namespace

StartOptions parseCommandLine(int argc, char** argv) {
  StartOptions options;
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.action = StartAction::Help;
      return options;
    }
    if (std::strcmp(arg, "--version") == 0) {
      options.action = StartAction::Version;
      return options;
    }
    if (std::strcmp(arg, "--midi-list") == 0) {
      options.action = StartAction::MidiList;
      continue;
    }
    bool ours = false;
    for (const char* name : kValueOptions) ours = ours || std::strcmp(arg, name) == 0;
    if (ours) {
      if (i + 1 >= argc) {
        options.action = StartAction::BadUsage;
        options.problem = std::string(arg) + " needs a value";
        return options;
      }
      const char* value = argv[++i];
      if (std::strcmp(arg, "--midi-connect") == 0) {
        options.midiConnect = value;
      } else if (std::strcmp(arg, "--play") == 0) {
        options.play = value;
      } else if (std::strcmp(arg, "--record") == 0) {
        options.record = value;
      } else if ((options.voices = voiceCount(value)) == 0) {
        options.action = StartAction::BadUsage;
        options.problem = std::string("--voices takes a number from 1 to 32, not ") + value;
        return options;
      }
      continue;
    }
    const XOption* known = nullptr;
    for (const XOption& x : kXOptions)
      if (std::strcmp(arg, x.name) == 0) known = &x;
    if (!known) {
      options.action = StartAction::BadUsage;
      options.problem = arg[0] == '-' ? std::string("unknown option ") + arg
                                      : std::string("unexpected argument ") + arg;
      return options;
    }
    if (known->takesValue) {
      if (i + 1 >= argc) {
        options.action = StartAction::BadUsage;
        options.problem = std::string(arg) + " needs a value";
        return options;
      }
      if (std::strcmp(arg, "-display") == 0) options.display = argv[i + 1];
      i++;
    }
  }
  return options;
}

void printUsage(FILE* stream) {
  std::fprintf(
      stream,
      "usage: plinkar [--help] [--version] [--voices N] [--midi-connect NAME] [--midi-list]\n"
      "               [--play FILE.mid] [--record FILE.mid]\n"
#ifndef _WIN32
      "               [X options: -display NAME, -geometry SPEC, -iconic, -sync]\n"
#endif
      "\n"
      "A piano, a drum kit and a guitar in 3D, played from the keyboard.\n"
      "Right-click in the player window to bring out an instrument.\n"
      "\n"
      "  --voices N           let up to N sounds (1 to 32) ring together, MIDI note-offs\n"
      "                       and the sustain pedal damping them; 1 is the default:\n"
      "                       each sound cuts off the one before\n"
#ifdef _WIN32
      "  --midi-connect NAME  play from the first MIDI input device whose name contains\n"
      "                       NAME, now or when it appears; without it, the first device\n"
      "  --midi-list          print the MIDI input devices and exit\n"
#else
      "  --midi-connect NAME  connect the player's MIDI port \"Plinkar\" to the first\n"
      "                       source port whose name contains NAME, now or when it appears\n"
      "  --midi-list          print the MIDI source ports and exit\n"
#endif
      "  --play FILE.mid      play a Standard MIDI File on the instruments, as if from\n"
      "                       a MIDI keyboard; the instruments it uses come out\n"
      "  --record FILE.mid    write everything played (keys, MIDI input, the song) to\n"
      "                       FILE.mid when the player ends\n"
      "\n"
      "  z x c v b n m a s d f g h j k l ;   piano, white keys from C4\n"
      "  q w e r t y u i o p [ ]             piano, black keys\n"
      "  Insert Home PageUp End PageDown     tom, snare, bass drum, hi-hat, crash\n"
      "  1 to 6 (hold)                       guitar chords Am C D E6 F G7\n"
      "  8 9 0 -                             colours of piano, drums, guitars\n"
      "  arrow keys, left drag               walk and turn; middle button: "
      "materials\n"
      "\n"
#ifdef _WIN32
      "The models, sounds and pictures (data\\, wav\\, resources\\) are read from the\n"
      "current folder, or else from the folder of plinkar.exe.\n");
#else
      "The models, sounds and pictures (data/, wav/, resources/) are read from the\n"
      "current directory, or else from ../share/plinkar beside the program's folder.\n");
#endif
}

#ifndef _WIN32
bool findPlayerData() {
  if (exists(kProbe)) return true;
  char here[PATH_MAX];
  const std::string cwd = getcwd(here, sizeof here) ? here : ".";
  const std::string installed = installedDataFolder();
  if (!installed.empty() && exists(installed + "/" + kProbe) && chdir(installed.c_str()) == 0)
    return true;
  std::fprintf(stderr, "plinkar: can't find the player's data: no %s in %s or in %s\n", kProbe,
               cwd.c_str(),
               installed.empty() ? "(the program's folder is unknown)" : installed.c_str());
  return false;
}
#endif
