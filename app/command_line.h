// command_line.h: what the player's command line asks for, and where the
// player finds its models, sounds and pictures.
#ifndef PLINKAR_APP_COMMAND_LINE_H
#define PLINKAR_APP_COMMAND_LINE_H

#include <cstdio>
#include <string>

enum class StartAction { Play, Help, Version, MidiList, BadUsage };

struct StartOptions {
  StartAction action = StartAction::Play;
  std::string problem;      // for BadUsage: what was wrong
  std::string display;      // the -display argument, empty when not given
  int voices = 1;           // --voices: sounds that may ring together, 1 to 32
  std::string midiConnect;  // --midi-connect: part of a MIDI source port's name
  std::string play;         // --play: a Standard MIDI File to play
  std::string record;       // --record: where to write what is played
};

// Reads the options. X's own (-display NAME, -geometry SPEC, -iconic,
// -direct, -indirect, -gldebug, -sync) are left in argv for glutInit.
StartOptions parseCommandLine(int argc, char** argv);

// The usage, the keys at a glance and where the data is looked for.
void printUsage(FILE* stream);

// The player reads data/, wav/ and resources/ relative to the working
// directory. When data/piano.obj is not there, changes to the installation's
// share/plinkar beside the executable's bin/ folder. False, after one line on
// standard error naming both places, when neither has it.
bool findPlayerData();  // Linux; the Windows program looks beside its .exe

#endif  // PLINKAR_APP_COMMAND_LINE_H
