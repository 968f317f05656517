// A JACK server of a test's own on the dummy backend, for MIDI ports.
#ifndef PLINKAR_TESTS_E2E_JACK_SERVER_H
#define PLINKAR_TESTS_E2E_JACK_SERVER_H

#include <sys/types.h>

#include <string>

struct JackServer {
  pid_t pid = -1;
  std::string name;  // plinkar-test-<pid>, so that it meets no other server
};

// Starts jackd, waits until it takes clients and sets JACK_DEFAULT_SERVER to it.
bool startJackServer(JackServer* server);
void stopJackServer(JackServer* server);  // and forgets JACK_DEFAULT_SERVER

#endif  // PLINKAR_TESTS_E2E_JACK_SERVER_H
