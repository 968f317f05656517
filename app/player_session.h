// player_session.h: what the player does between reading its command line and
// entering GLUT's loop, the same on Linux and Windows.
#ifndef PLINKAR_APP_PLAYER_SESSION_H
#define PLINKAR_APP_PLAYER_SESSION_H

#include <cstdio>
#include <string>

#include "app/command_line.h"

// Answers --help, --version, --midi-list and bad usage on out and err, and
// returns the exit status; -1 when the options ask to play.
int answerCommandLine(const StartOptions& options, FILE* out, FILE* err);

// Before the player looks for its data, which may change folders: reads
// --play's song and makes --record's path absolute. False, with *problem
// naming the song and what is wrong with it.
bool prepareSession(const StartOptions& options, std::string* problem);

// Before the windows open: glutInit, sound with its voices and every key's
// sound loaded, MIDI input, the song's start and the recording.
void startPlayerSession(const StartOptions& options);

#endif  // PLINKAR_APP_PLAYER_SESSION_H
