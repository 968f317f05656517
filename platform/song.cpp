// song.cpp: Standard MIDI Files through libsmf, which keeps the tempo map and
// works out each event's time in seconds.
//
// libsmf reports problems as GLib log messages and may go on with what it
// could read (a truncated track is cut short); a song with any such message
// is refused, with the first message as the reason.
#include "platform/song.h"

#include <fcntl.h>
#include <glib.h>  // before smf.h, which would include it inside extern "C"
#include <smf.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/midi_internal.h"

namespace {

constexpr int kTicksPerBeat = 480;
constexpr long long kNanosPerBeat = 500000000LL;  // 120 beats a minute

// libsmf's messages while one call runs: the first is kept.
struct SmfMessages {
  std::string first;
  guint handler = 0;
};

void keepMessage(const gchar*, GLogLevelFlags, const gchar* message, gpointer data) {
  std::string& first = static_cast<SmfMessages*>(data)->first;
  if (!first.empty() || !message) return;
  first = message;
  // "SMF error: MThd signature not found, ..." says more without the prefix.
  for (const char* prefix : {"SMF error: ", "SMF warning: "})
    if (first.rfind(prefix, 0) == 0) first.erase(0, std::strlen(prefix));
}

void listen(SmfMessages* messages) {
  messages->handler = g_log_set_handler(
      "libsmf", static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL), keepMessage,
      messages);
}

void stopListening(SmfMessages* messages) { g_log_remove_handler("libsmf", messages->handler); }

struct Player {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
};
Player g_player;

void play(std::vector<SongEvent> events, long long start, MidiHandler handler) {
  MidiParser parser;
  auto deliver = [](const MidiEvent& event, void* to) {
    reinterpret_cast<MidiHandler>(to)(event);
  };
  std::unique_lock<std::mutex> lock(g_player.mutex);
  for (const SongEvent& event : events) {
    const std::chrono::steady_clock::time_point due{std::chrono::nanoseconds(start + event.nanos)};
    if (g_player.wake.wait_until(lock, due, [] { return g_player.stopping; })) return;
    midiParse(&parser, event.bytes, event.length, deliver, reinterpret_cast<void*>(handler));
  }
}

}  // namespace

int songTicks(long long nanos) {
  return static_cast<int>(std::llround(static_cast<double>(nanos) * kTicksPerBeat / kNanosPerBeat));
}

bool songRead(const char* path, std::vector<SongEvent>* events, std::string* error) {
  SmfMessages messages;
  listen(&messages);
  smf_t* smf = smf_load(path);
  events->clear();
  while (smf && messages.first.empty()) {
    smf_event_t* event = smf_get_next_event(smf);
    if (!event) break;
    const unsigned char* bytes = event->midi_buffer;
    const int length = event->midi_buffer_length;
    // Channel messages only: no meta events, no sysex, no system messages.
    if (length < 1 || length > 3 || bytes[0] < 0x80 || bytes[0] >= 0xF0) continue;
    SongEvent song{std::llround(event->time_seconds * 1e9), {0, 0, 0}, static_cast<uint8_t>(length)};
    std::memcpy(song.bytes, bytes, static_cast<size_t>(length));
    events->push_back(song);
  }
  stopListening(&messages);
  if (smf) smf_delete(smf);
  if (smf && messages.first.empty()) return true;
  *error = messages.first.empty() ? "not a MIDI file libsmf can read" : messages.first;
  events->clear();
  return false;
}

bool songWrite(const char* path, const std::vector<SongEvent>& events, std::string* error) {
  std::vector<SongEvent> sorted = events;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const SongEvent& a, const SongEvent& b) { return a.nanos < b.nanos; });
  SmfMessages messages;
  listen(&messages);
  smf_t* smf = smf_new();
  bool ok = smf && smf_set_format(smf, 0) == 0 && smf_set_ppqn(smf, kTicksPerBeat) == 0;
  if (ok) {
    smf_track_t* track = smf_track_new();
    smf_add_track(smf, track);
    unsigned char tempo[] = {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};  // 500000 µs a beat
    smf_track_add_event_pulses(track, smf_event_new_from_pointer(tempo, sizeof tempo), 0);
    for (const SongEvent& event : sorted) {
      const int second = event.length > 1 ? event.bytes[1] : -1;
      const int third = event.length > 2 ? event.bytes[2] : -1;
      smf_track_add_event_pulses(track, smf_event_new_from_bytes(event.bytes[0], second, third),
                                 songTicks(std::max(0LL, event.nanos)));
    }
  }
  // Beside the target, so that the rename stays on one file system.
  const std::string target = path;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string temp = folder + "." + target.substr(folder.size()) + "." +
                           std::to_string(getpid()) + ".tmp";
  if (ok) ok = smf_save(smf, temp.c_str()) == 0;
  if (ok) {
    // libsmf closes without syncing: the bytes must be on disk before the rename.
    const int fd = open(temp.c_str(), O_RDONLY);
    ok = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    if (!ok) *error = std::strerror(errno);
  }
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    *error = std::strerror(errno);
  }
  if (!ok) unlink(temp.c_str());
  if (!ok && error->empty())
    *error = messages.first.empty() ? "libsmf could not write it" : messages.first;
  stopListening(&messages);
  if (smf) smf_delete(smf);
  return ok;
}

void songPlay(std::vector<SongEvent> events, long long start, MidiHandler handler) {
  songStop();
  g_player.stopping = false;
  g_player.thread = std::thread(play, std::move(events), start, handler);
}

void songStop() {
  if (!g_player.thread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(g_player.mutex);
    g_player.stopping = true;
  }
  g_player.wake.notify_all();
  g_player.thread.join();
}
