// song.cpp: Standard MIDI Files read and written here. libsmf did this once,
// but it needs GLib, which mingw-w64 lacks; it ended the process on a
// damaged track; and it freed and saved in time quadratic in the events.
//
// Times come from the division and the tempo map in integers, rounded once
// to the nanosecond. Format 2's tracks are independent patterns: each is
// timed from the start by its own tempo events, and they sound together.
#include "platform/song.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
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
constexpr uint32_t kDefaultMicrosPerBeat = 500000;
constexpr uint32_t kMaxDelta = 0x0FFFFFFF;  // four bytes of seven bits

// Wide enough for ticks (under 2^59) times µs a beat (under 2^24) times 10^9.
__extension__ typedef unsigned __int128 Wide;

struct Player {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
};
Player g_player;

void play(std::vector<SongEvent> events, long long start, MidiHandler handler) {
  MidiParser parser;
  auto deliver = [](const MidiEvent& event, void* to) { reinterpret_cast<MidiHandler>(to)(event); };
  std::unique_lock<std::mutex> lock(g_player.mutex);
  for (const SongEvent& event : events) {
    const std::chrono::steady_clock::time_point due{std::chrono::nanoseconds(start + event.nanos)};
    if (g_player.wake.wait_until(lock, due, [] { return g_player.stopping; })) return;
    midiParse(&parser, event.bytes, event.length, deliver, reinterpret_cast<void*>(handler));
  }
}

// Files: paths are UTF-8, which Windows takes only as UTF-16.
#ifdef _WIN32
bool widen(const std::string& path, std::wstring* wide) {
  wide->clear();
  if (path.empty()) return true;
  if (path.size() > INT_MAX) {
    errno = ENAMETOOLONG;
    return false;
  }
  const int size = static_cast<int>(path.size());
  const int count =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
  if (count <= 0) {
    errno = EINVAL;
    return false;
  }
  wide->resize(static_cast<size_t>(count));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, &(*wide)[0], count);
  return true;
}

std::string windowsError(DWORD code) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == '.' || text[length - 1] == ' '))
    length--;
  return length > 0 ? std::string(text, length) : "Windows error " + std::to_string(code);
}
#endif

FILE* openFile(const std::string& path, bool write) {
#ifdef _WIN32
  std::wstring wide;
  return widen(path, &wide) ? _wfopen(wide.c_str(), write ? L"wb" : L"rb") : nullptr;
#else
  return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

void removeFile(const std::string& path) {
#ifdef _WIN32
  std::wstring wide;
  if (widen(path, &wide)) _wremove(wide.c_str());
#else
  std::remove(path.c_str());
#endif
}

// The bytes must be on disk before the rename, or a crash could leave an
// empty file where the old one was.
bool flushToDisk(FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

bool replaceFile(const std::string& from, const std::string& to, std::string* error) {
#ifdef _WIN32
  std::wstring wideFrom, wideTo;
  if (!widen(from, &wideFrom) || !widen(to, &wideTo)) {
    *error = std::strerror(errno);
    return false;
  }
  if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *error = windowsError(GetLastError());
#else
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = std::strerror(errno);
#endif
  return false;
}

long long processId() {
#ifdef _WIN32
  return _getpid();
#else
  return getpid();
#endif
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

struct Tempo {
  uint64_t tick;
  uint32_t micros;  // a beat, from this tick on
  Wide before;      // ticks times µs a beat of the changes before, up to tick
};

// Reads a track up to its end-of-track event: its channel messages go to
// events with their tick in place of nanos, its tempo changes to tempos.
// False when an event does not lie whole inside it, or there is no end.
bool readTrack(const std::string& bytes, size_t at, size_t end, std::vector<SongEvent>* events,
               std::vector<Tempo>* tempos) {
  uint8_t running = 0;
  uint64_t tick = 0;
  for (;;) {
    uint32_t delta = 0, length = 0;
    if (!readVarLength(bytes, &at, end, &delta) || at >= end) return false;
    tick += delta;
    const uint8_t status = static_cast<uint8_t>(bytes[at]);
    if (status == 0xFF) {  // meta event: type, length, data
      if (at + 2 > end) return false;
      const uint8_t type = static_cast<uint8_t>(bytes[at + 1]);
      at += 2;
      if (!readVarLength(bytes, &at, end, &length) || length > end - at) return false;
      if (type == 0x51 && length == 3) tempos->push_back({tick, bigEndian(bytes, at, 3), 0});
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
      const uint32_t data = static_cast<uint32_t>(midiDataBytes(running));
      if (data > end - at) return false;
      SongEvent event{
          static_cast<long long>(tick), {running, 0, 0}, static_cast<uint8_t>(1 + data)};
      std::memcpy(event.bytes + 1, bytes.data() + at, data);
      events->push_back(event);
      at += data;
    }
  }
}

// Walks the chunks (other than MTrk ones are skipped) and reads every track
// announced, each whole up to its end-of-track event; firsts[i] is where
// track i's events begin in events.
bool readChunks(const std::string& bytes, std::vector<SongEvent>* events,
                std::vector<size_t>* firsts, std::vector<Tempo>* tempos,
                std::vector<size_t>* tempoFirsts, std::string* error) {
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
    const bool track = bytes.compare(at, 4, "MTrk") == 0;
    at += 8;
    if (track) {
      found++;
      if (length > bytes.size() - at) {
        *error = "track " + std::to_string(found) + " is truncated: " + std::to_string(length) +
                 " bytes announced, " + std::to_string(bytes.size() - at) + " there";
        return false;
      }
      firsts->push_back(events->size());
      tempoFirsts->push_back(tempos->size());
      if (!readTrack(bytes, at, at + length, events, tempos)) {
        *error = "track " + std::to_string(found) + " is damaged or cut short before its end";
        return false;
      }
    }
    at += length;
  }
  firsts->push_back(events->size());
  tempoFirsts->push_back(tempos->size());
  return true;
}

// Each change's `before`, for changes sorted by tick, starting from the
// default tempo at tick 0.
void accumulate(Tempo* first, Tempo* last) {
  uint64_t tick = 0;
  uint32_t micros = kDefaultMicrosPerBeat;
  Wide sum = 0;
  for (Tempo* tempo = first; tempo != last; tempo++) {
    sum += static_cast<Wide>(tempo->tick - tick) * micros;
    tempo->before = sum;
    tick = tempo->tick;
    micros = tempo->micros;
  }
}

// The division's ticks: a fraction of a beat, timed by the tempo map, or
// (SMPTE) a fixed fraction of a second.
struct Division {
  uint32_t ticksPerBeat = 0;
  Wide nanosTimes = 0, per = 1;  // SMPTE: a tick is nanosTimes / per ns
};

bool readDivision(uint32_t division, Division* out, std::string* error) {
  if (division & 0x8000) {
    const int fps = -static_cast<int8_t>(division >> 8);
    const uint32_t ticksPerFrame = division & 0xFF;
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticksPerFrame == 0) {
      *error = "SMPTE division of " + std::to_string(fps) + " frames a second and " +
               std::to_string(ticksPerFrame) + " ticks a frame is not one a file can have";
      return false;
    }
    // 29 stands for 29.97 (30000/1001) frames a second.
    out->nanosTimes = fps == 29 ? Wide(1000000000) * 1001 : Wide(1000000000);
    out->per = fps == 29 ? Wide(30000) * ticksPerFrame : Wide(fps) * ticksPerFrame;
    return true;
  }
  if (division == 0) {
    *error = "a division of 0 ticks a beat";
    return false;
  }
  out->ticksPerBeat = division;
  return true;
}

// Times one track's events, whose ticks are in nanos and never decrease, by
// the tempo changes [first, last) (sorted by tick, `before` filled in).
bool timeTrack(SongEvent* events, SongEvent* end, const Tempo* first, const Tempo* last,
               const Division& division, std::string* error) {
  // The first change after the track's first event, then onwards from there.
  const Tempo* tempo =
      events == end
          ? first
          : std::upper_bound(first, last, static_cast<uint64_t>(events->nanos),
                             [](uint64_t tick, const Tempo& change) { return tick < change.tick; });
  for (SongEvent* event = events; event != end; event++) {
    const uint64_t tick = static_cast<uint64_t>(event->nanos);
    Wide numerator, denominator;
    if (division.ticksPerBeat == 0) {
      numerator = tick * division.nanosTimes;
      denominator = division.per;
    } else {
      while (tempo != last && tempo->tick <= tick) tempo++;
      const Wide beatMicros =
          tempo == first
              ? static_cast<Wide>(tick) * kDefaultMicrosPerBeat
              : tempo[-1].before + static_cast<Wide>(tick - tempo[-1].tick) * tempo[-1].micros;
      numerator = beatMicros * 1000;
      denominator = division.ticksPerBeat;
    }
    const Wide nanos = (numerator + denominator / 2) / denominator;
    if (nanos > static_cast<Wide>(LLONG_MAX)) {
      *error = "an event lies too far from the start";
      return false;
    }
    event->nanos = static_cast<long long>(nanos);
  }
  return true;
}

bool readSong(const std::string& bytes, std::vector<SongEvent>* events, std::string* error) {
  if (bytes.size() < 14 || bytes.compare(0, 4, "MThd") != 0 || bigEndian(bytes, 4, 4) < 6) {
    *error = "not a MIDI file: no MThd header";
    return false;
  }
  const uint32_t format = bigEndian(bytes, 8, 2);
  if (format > 2) {
    *error = "format " + std::to_string(format) + " is not a MIDI file format";
    return false;
  }
  Division division;
  if (!readDivision(bigEndian(bytes, 12, 2), &division, error)) return false;
  std::vector<size_t> firsts, tempoFirsts;
  std::vector<Tempo> tempos;
  if (!readChunks(bytes, events, &firsts, &tempos, &tempoFirsts, error)) return false;
  const size_t tracks = firsts.size() - 1;
  if (format != 2) {
    // One tempo map for all the tracks; at one tick, the later change wins.
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const Tempo& a, const Tempo& b) { return a.tick < b.tick; });
    accumulate(tempos.data(), tempos.data() + tempos.size());
  } else {
    for (size_t track = 0; track < tracks; track++)
      accumulate(tempos.data() + tempoFirsts[track], tempos.data() + tempoFirsts[track + 1]);
  }
  for (size_t track = 0; track < tracks; track++) {
    const size_t tempoFirst = format != 2 ? 0 : tempoFirsts[track];
    const size_t tempoLast = format != 2 ? tempos.size() : tempoFirsts[track + 1];
    if (!timeTrack(events->data() + firsts[track], events->data() + firsts[track + 1],
                   tempos.data() + tempoFirst, tempos.data() + tempoLast, division, error))
      return false;
  }
  // The tracks are in file order, so ties keep the earlier track first.
  std::stable_sort(events->begin(), events->end(),
                   [](const SongEvent& a, const SongEvent& b) { return a.nanos < b.nanos; });
  return true;
}

long long ticksAt(long long nanos) {
  return std::llround(static_cast<double>(nanos) * kTicksPerBeat / kNanosPerBeat);
}

void putBigEndian(std::string* out, uint32_t value, int count) {
  for (int i = count - 1; i >= 0; i--) out->push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

void putVarLength(std::string* out, uint32_t value) {
  uint8_t groups[4];
  int count = 0;
  do {
    groups[count++] = value & 0x7F;
    value >>= 7;
  } while (value != 0 && count < 4);
  for (int i = count - 1; i > 0; i--) out->push_back(static_cast<char>(groups[i] | 0x80));
  out->push_back(static_cast<char>(groups[0]));
}

}  // namespace

int songTicks(long long nanos) {
  const long long ticks = ticksAt(nanos);
  return ticks > INT_MAX ? INT_MAX : ticks < INT_MIN ? INT_MIN : static_cast<int>(ticks);
}

bool songRead(const char* path, std::vector<SongEvent>* events, std::string* error) {
  events->clear();
  std::string bytes;
  if (FILE* file = openFile(path, false)) {
    char block[65536];
    for (size_t n; bytes.size() <= INT_MAX && (n = std::fread(block, 1, sizeof block, file)) > 0;)
      bytes.append(block, n);
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
  if (readSong(bytes, events, error)) return true;
  events->clear();
  return false;
}

bool songWrite(const char* path, const std::vector<SongEvent>& events, std::string* error) {
  std::vector<SongEvent> sorted = events;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const SongEvent& a, const SongEvent& b) { return a.nanos < b.nanos; });
  std::string track(std::string("\0\xFF\x51\x03\x07\xA1\x20", 7));  // 500000 µs a beat
  track.reserve(track.size() + sorted.size() * 4 + 4);
  long long tick = 0;
  for (const SongEvent& event : sorted) {
    const uint8_t status = event.bytes[0];
    // Anything else would break the track for every reader.
    if (status < 0x80 || status >= 0xF0 || event.length != 1 + midiDataBytes(status)) continue;
    const long long at = ticksAt(std::max(0LL, event.nanos));
    long long delta = at - tick;
    tick = at;
    // A longer pause than a delta holds is bridged by empty text events.
    for (; delta > kMaxDelta; delta -= kMaxDelta) {
      putVarLength(&track, kMaxDelta);
      track += std::string("\xFF\x01\x00", 3);
    }
    putVarLength(&track, static_cast<uint32_t>(delta));
    track.append(reinterpret_cast<const char*>(event.bytes), event.length);
  }
  track += std::string("\0\xFF\x2F\x00", 4);
  if (track.size() > UINT32_MAX) {
    *error = "too many events for a MIDI file";
    return false;
  }
  std::string file = "MThd";
  putBigEndian(&file, 6, 4);
  putBigEndian(&file, 0, 2);  // format 0
  putBigEndian(&file, 1, 2);  // one track
  putBigEndian(&file, kTicksPerBeat, 2);
  file += "MTrk";
  putBigEndian(&file, static_cast<uint32_t>(track.size()), 4);
  file += track;

  // Beside the target, so that the rename stays on one file system.
  const std::string target = path;
#ifdef _WIN32
  const size_t slash = target.find_last_of("/\\");
#else
  const size_t slash = target.rfind('/');
#endif
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string temp =
      folder + "." + target.substr(folder.size()) + "." + std::to_string(processId()) + ".tmp";
  FILE* out = openFile(temp, true);
  if (!out) {
    *error = std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size() && flushToDisk(out);
  int failure = ok ? 0 : errno;
  if (std::fclose(out) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (!ok) *error = std::strerror(failure != 0 ? failure : EIO);
  if (ok) ok = replaceFile(temp, target, error);
  if (!ok) removeFile(temp);
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
