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
#include <climits>
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

uint32_t bigEndian(const std::string& bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; i++) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// A variable-length quantity at *at, at most four bytes; false when it runs
// past end.
bool readVarLength(const std::string& bytes, size_t* at, size_t end, uint32_t* value) {
  *value = 0;
  for (int i = 0; i < 4 && *at < end; i++) {
    const uint8_t byte = static_cast<uint8_t>(bytes[(*at)++]);
    *value = *value << 7 | (byte & 0x7F);
    if (byte < 0x80) return true;
  }
  return false;
}

// Every event of the track lies whole inside it, up to an end-of-track event.
bool trackComplete(const std::string& bytes, size_t at, size_t end) {
  uint8_t running = 0;
  for (;;) {
    uint32_t delta = 0, length = 0;
    if (!readVarLength(bytes, &at, end, &delta) || at >= end) return false;
    const uint8_t status = static_cast<uint8_t>(bytes[at]);
    if (status == 0xFF) {  // meta event: type, length, data
      if (at + 2 > end) return false;
      const uint8_t type = static_cast<uint8_t>(bytes[at + 1]);
      at += 2;
      if (!readVarLength(bytes, &at, end, &length) || length > end - at) return false;
      at += length;
      if (type == 0x2F) return true;
    } else if (status == 0xF0 || status == 0xF7) {  // sysex: length, data
      at++;
      if (!readVarLength(bytes, &at, end, &length) || length > end - at) return false;
      at += length;
    } else {
      if (status >= 0xF0) return false;  // no other system message belongs in a file
      if (status >= 0x80) {
        running = status;
        at++;
      } else if (running == 0) {
        return false;  // data with no status before it
      }
      const uint32_t data = (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
      if (data > end - at) return false;
      at += data;
    }
  }
}

// The chunks must all be there, and each track whole up to its end-of-track
// event, before libsmf sees them: it asserts, and so ends the process, where
// a track runs out early.
bool checkChunks(const std::string& bytes, std::string* error) {
  if (bytes.size() < 14 || bytes.compare(0, 4, "MThd") != 0 || bigEndian(bytes, 4, 4) < 6) {
    *error = "not a MIDI file: no MThd header";
    return false;
  }
  const uint32_t tracks = bigEndian(bytes, 10, 2);
  uint32_t found = 0;
  size_t at = 8 + static_cast<size_t>(bigEndian(bytes, 4, 4));
  while (found < tracks) {
    if (at > bytes.size() || bytes.size() - at < 8) {
      *error = "truncated: " + std::to_string(tracks) + " tracks announced, " +
               std::to_string(found) + " there";
      return false;
    }
    const size_t length = bigEndian(bytes, at + 4, 4);
    const bool track = bytes.compare(at, 4, "MTrk") == 0;  // other chunks are skipped
    at += 8;
    if (track) found++;
    if (track && length > bytes.size() - at) {
      *error = "track " + std::to_string(found) + " is truncated: " + std::to_string(length) +
               " bytes announced, " + std::to_string(bytes.size() - at) + " there";
      return false;
    }
    if (track && !trackComplete(bytes, at, at + length)) {
      *error = "track " + std::to_string(found) + " is damaged or cut short before its end";
      return false;
    }
    at += length;
  }
  return true;
}

// smf_delete takes the events out one by one from the front, shifting the
// rest each time: minutes for a million events. They go all at once here,
// freed as libsmf allocated them.
void deleteSmf(smf_t* smf) {
  for (int number = 1; number <= smf->number_of_tracks; number++) {
    smf_track_t* track = smf_get_track_by_number(smf, number);
    for (guint i = 0; i < track->events_array->len; i++) {
      smf_event_t* event = static_cast<smf_event_t*>(g_ptr_array_index(track->events_array, i));
      free(event->midi_buffer);
      free(event);
    }
    g_ptr_array_set_size(track->events_array, 0);
    track->number_of_events = 0;
  }
  smf_delete(smf);
}

}  // namespace

int songTicks(long long nanos) {
  return static_cast<int>(std::llround(static_cast<double>(nanos) * kTicksPerBeat / kNanosPerBeat));
}

bool songRead(const char* path, std::vector<SongEvent>* events, std::string* error) {
  events->clear();
  std::string bytes;
  if (FILE* file = std::fopen(path, "rb")) {
    char block[65536];
    for (size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, n);
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
      *error = std::strerror(EIO);
      return false;
    }
  } else {
    *error = std::strerror(errno);
    return false;
  }
  if (bytes.size() > INT_MAX) {
    *error = "too big for a MIDI file";
    return false;
  }
  if (!checkChunks(bytes, error)) return false;
  SmfMessages messages;
  listen(&messages);
  smf_t* smf = smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size()));
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
  if (smf) deleteSmf(smf);
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
  if (smf) deleteSmf(smf);
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
