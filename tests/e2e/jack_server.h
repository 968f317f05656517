// A JACK server of a test's own on the dummy backend, which needs no sound
// card: MIDI ports on it carry notes between the test and the player.
#ifndef PLINKAR_TESTS_E2E_JACK_SERVER_H
#define PLINKAR_TESTS_E2E_JACK_SERVER_H

#include <sys/types.h>

#include <string>

struct JackServer {
  pid_t pid = -1;
  std::string name;  // plinkar-test-<pid>, so that it meets no other server
};

// Starts jackd (48 kHz, a cycle every 128 frames: 2.7 ms) and waits until it takes
// clients; JACK_DEFAULT_SERVER then names it for this process and the
// processes it starts. False when it did not come up.
bool startJackServer(JackServer* server);
// Stops it and forgets JACK_DEFAULT_SERVER.
void stopJackServer(JackServer* server);

#endif  // PLINKAR_TESTS_E2E_JACK_SERVER_H
