// Standard MIDI Files: times from tempo maps and divisions, writing that
// replaces a file whole or not at all, and the files that are refused.
#include "platform/song.h"

#include <glib.h>  // before smf.h, which would include it inside extern "C"
#include <gtest/gtest.h>
#include <smf.h>

#include <filesystem>
#include <vector>

#include "tests/support/files.h"

namespace {

struct Tempo {
  int pulses;
  int microsPerBeat;
};

// A file of one note-on per entry of `notes` (at those pulses), on one track
// or (format 1) with the tempo map on a track of its own.
std::string writeSmf(const std::string& name, int ppqn, const std::vector<Tempo>& tempos,
                     const std::vector<int>& notes, bool twoTracks = false) {
  smf_t* smf = smf_new();
  EXPECT_EQ(smf_set_ppqn(smf, ppqn), 0);
  smf_track_t* tempoTrack = smf_track_new();
  smf_add_track(smf, tempoTrack);
  smf_track_t* noteTrack = tempoTrack;
  if (twoTracks) {
    noteTrack = smf_track_new();
    smf_add_track(smf, noteTrack);
  }
  for (const Tempo& tempo : tempos) {
    unsigned char bytes[] = {0xFF,
                             0x51,
                             0x03,
                             uint8_t(tempo.microsPerBeat >> 16),
                             uint8_t(tempo.microsPerBeat >> 8),
                             uint8_t(tempo.microsPerBeat)};
    smf_track_add_event_pulses(tempoTrack, smf_event_new_from_pointer(bytes, 6), tempo.pulses);
  }
  for (size_t i = 0; i < notes.size(); i++)
    smf_track_add_event_pulses(noteTrack, smf_event_new_from_bytes(0x90, 60 + int(i), 100),
                               notes[i]);
  const std::string path = testDir() + "/" + name;
  EXPECT_EQ(smf_save(smf, path.c_str()), 0);
  smf_delete(smf);
  return path;
}

// A file of the given tracks, byte for byte, each closed by an end-of-track.
std::string midiBytes(int format, int division, const std::vector<std::string>& tracks) {
  std::string file = std::string("MThd\0\0\0\6\0", 9) + char(format) + '\0' + char(tracks.size()) +
                     char(division >> 8) + char(division & 0xFF);
  for (std::string track : tracks) {
    track += std::string("\0\xFF\x2F\0", 4);
    file += "MTrk" + std::string{0, 0, char(track.size() >> 8), char(track.size())} + track;
  }
  return file;
}

void expectEvent(const SongEvent& read, const SongEvent& expected) {
  EXPECT_EQ(read.nanos, expected.nanos);
  ASSERT_EQ(read.length, expected.length);
  for (int i = 0; i < read.length; i++) EXPECT_EQ(read.bytes[i], expected.bytes[i]) << i;
}

TEST(SongRead, EventsAreTimedByTheTempoMapAtAnyDivision) {
  const struct {
    const char* what;
    int ppqn;
    std::vector<Tempo> tempos;
    std::vector<int> notes;
    std::vector<double> seconds;
    bool twoTracks = false;
  } cases[] = {
      {"no tempo: 120 a minute", 480, {}, {0, 480, 960, 1200}, {0, 0.5, 1.0, 1.25}},
      {"96 a beat at 60", 96, {{0, 1000000}}, {0, 96, 144}, {0, 1.0, 1.5}},
      {"a change halfway", 480, {{0, 500000}, {960, 250000}}, {0, 960, 1440}, {0, 1.0, 1.25}},
      {"three changes",
       120,
       {{0, 600000}, {120, 300000}, {240, 1200000}},
       {60, 120, 180, 240, 300},
       {0.3, 0.6, 0.75, 0.9, 1.5}},
      {"format 1, tempo on its own track",
       480,
       {{0, 500000}, {480, 1000000}},
       {0, 480, 960},
       {0, 0.5, 1.5},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<SongEvent> events;
    std::string error;
    ASSERT_TRUE(songRead(writeSmf("t.mid", c.ppqn, c.tempos, c.notes, c.twoTracks).c_str(), &events,
                         &error))
        << error;
    ASSERT_EQ(events.size(), c.seconds.size());
    for (size_t i = 0; i < events.size(); i++) {
      EXPECT_NEAR(events[i].nanos / 1e9, c.seconds[i], 1e-6) << i;
      EXPECT_EQ(events[i].bytes[1], 60 + int(i));
    }
  }
}

TEST(SongRead, ReadsDivisionsStatusesAndTracksAsTheFileMeansThem) {
  const std::string note = std::string("\0\x90\x3C\x64", 4);
  const std::string slowTempo = std::string("\0\xFF\x51\x03\x0F\x42\x40", 7);  // 1 s a beat
  const struct {
    const char* what;
    int format, division;
    std::vector<std::string> tracks;
    std::vector<SongEvent> events;
  } cases[] = {
      {"SMPTE: 25 frames of 40 ticks, 1 ms a tick, tempo ignored",
       0,
       0xE728,
       {slowTempo + note + std::string("\x87\x68\x80\x3C\0\x01\xC0\x05", 8)},
       {{0, {0x90, 60, 100}, 3}, {1000000000, {0x80, 60, 0}, 3}, {1001000000, {0xC0, 5, 0}, 2}}},
      {"SMPTE: 29.97 frames of 100 ticks",
       0,
       0xE364,
       {std::string("\x97\x38\x90\x3C\x64", 5)},
       {{1001000000, {0x90, 60, 100}, 3}}},
      {"running status, a sysex between notes",
       0,
       96,
       {slowTempo + note + std::string("\x60\x3E\x64\0\xF0\x03\x7E\x7F\xF7", 9) +
        std::string("\x30\x80\x3C\0\0\x3E\0\0\xD0\x40\x18\x41", 12)},
       {{0, {0x90, 60, 100}, 3},
        {1000000000, {0x90, 62, 100}, 3},
        {1500000000, {0x80, 60, 0}, 3},
        {1500000000, {0x80, 62, 0}, 3},
        {1500000000, {0xD0, 64, 0}, 2},
        {1750000000, {0xD0, 65, 0}, 2}}},
      {"ties: the earlier track first, then file order",
       1,
       96,
       {note + std::string("\0\x90\x40\x64", 4), std::string("\0\x91\x3E\x64", 4)},
       {{0, {0x90, 60, 100}, 3}, {0, {0x90, 64, 100}, 3}, {0, {0x91, 62, 100}, 3}}},
      {"format 2: each track by its own tempo",
       2,
       96,
       {slowTempo + std::string("\x60\x90\x3C\x64", 4), std::string("\x60\x91\x3E\x64", 4)},
       {{500000000, {0x91, 62, 100}, 3}, {1000000000, {0x90, 60, 100}, 3}}},
      {"a third of a beat rounds to the nearest ns",
       0,
       3,
       {std::string("\x01\x90\x3C\x64\x01\x80\x3C\0", 8)},
       {{166666667, {0x90, 60, 100}, 3}, {333333333, {0x80, 60, 0}, 3}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<SongEvent> events;
    std::string error;
    const std::string path = writeFile("made.mid", midiBytes(c.format, c.division, c.tracks));
    ASSERT_TRUE(songRead(path.c_str(), &events, &error)) << error;
    ASSERT_EQ(events.size(), c.events.size());
    for (size_t i = 0; i < events.size(); i++) {
      SCOPED_TRACE(i);
      expectEvent(events[i], c.events[i]);
    }
  }
}

TEST(SongRead, RefusesWhatIsNotAWholeMidiFileWithTheReason) {
  const std::string whole = writeSmf("whole.mid", 480, {{0, 500000}}, {0, 480, 960});
  const std::string bytes = readFile(whole);
  const struct {
    const char* what;
    std::string path;
    const char* says;
  } cases[] = {
      {"missing", testDir() + "/missing.mid", "No such file or directory"},
      {"not MIDI", writeFile("text.mid", "these are not the bytes of a song\n"), "MThd"},
      {"empty", writeFile("empty.mid", ""), ""},
      {"a truncated track", writeFile("cut.mid", bytes.substr(0, bytes.size() - 9)), "truncated"},
      {"a sysex past its track's end",
       writeFile("sysex.mid", midiBytes(0, 96, {std::string("\0\xF0\x7F\0", 4)})), "damaged"},
      {"format 3", writeFile("format.mid", midiBytes(3, 96, {""})), "format 3"},
      {"23 frames a second", writeFile("smpte.mid", midiBytes(0, 0xE928, {""})), "SMPTE"},
      {"no ticks a beat", writeFile("zero.mid", midiBytes(0, 0, {""})), "division"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<SongEvent> events{{1, {0x90, 60, 1}, 3}};
    std::string error;
    EXPECT_FALSE(songRead(c.path.c_str(), &events, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(events.empty());
  }
}

TEST(SongWrite, TicksAre480ABeatAt120) {
  const std::pair<long long, int> cases[] = {{0, 0},      {1000000000, 960}, {500000000, 480},
                                             {520000, 0}, {521000, 1},       {61000000000, 58560}};
  for (const auto& [nanos, ticks] : cases) EXPECT_EQ(songTicks(nanos), ticks) << nanos;
}

// What is written reads back within a tick (1/960 s), in time order, as one
// format-0 track, also by libsmf; a pause longer than a delta holds too.
TEST(SongWrite, WhatIsWrittenReadsBackAtItsTimes) {
  const std::vector<SongEvent> written = {
      {1500000000, {0x99, 38, 127}, 3}, {0, {0x90, 60, 127}, 3},
      {250000000, {0x80, 60, 0}, 3},    {1000000000, {0xB0, 64, 127}, 3},
      {1000400000, {0x92, 45, 90}, 3},  {300000000000000, {0x89, 38, 0}, 3}};
  const std::string path = testDir() + "/rec.mid";
  std::string error;
  ASSERT_TRUE(songWrite(path.c_str(), written, &error)) << error;
  std::vector<SongEvent> read;
  ASSERT_TRUE(songRead(path.c_str(), &read, &error)) << error;
  const int order[] = {1, 2, 3, 4, 0, 5};
  ASSERT_EQ(read.size(), 6u);
  for (size_t i = 0; i < read.size(); i++) {
    const SongEvent& expected = written[order[i]];
    EXPECT_NEAR(read[i].nanos, expected.nanos, 1e9 / 960 / 2 + 1) << i;
    EXPECT_EQ(read[i].bytes[0], expected.bytes[0]) << i;
    EXPECT_EQ(read[i].bytes[1], expected.bytes[1]) << i;
    EXPECT_EQ(read[i].bytes[2], expected.bytes[2]) << i;
  }
  smf_t* smf = smf_load(path.c_str());
  ASSERT_NE(smf, nullptr);
  EXPECT_EQ(smf->format, 0);
  EXPECT_EQ(smf->ppqn, 480);
  EXPECT_EQ(smf_get_tempo_by_pulses(smf, 0)->microseconds_per_quarter_note, 500000);
  std::vector<smf_event_t*> notes;
  while (smf_event_t* event = smf_get_next_event(smf))
    if (!smf_event_is_metadata(event)) notes.push_back(event);
  ASSERT_EQ(notes.size(), 6u);
  for (size_t i = 0; i < notes.size(); i++) {
    const SongEvent& expected = written[order[i]];
    EXPECT_EQ(notes[i]->time_pulses, songTicks(expected.nanos)) << i;
    ASSERT_EQ(notes[i]->midi_buffer_length, 3) << i;
    EXPECT_EQ(notes[i]->midi_buffer[0], expected.bytes[0]) << i;
    EXPECT_EQ(notes[i]->midi_buffer[1], expected.bytes[1]) << i;
  }
  smf_delete(smf);
}

// A file that cannot be put in place leaves what was there, and no temporary.
TEST(SongWrite, AFailureLeavesWhatWasThereAndNothingHalfWritten) {
  const std::vector<SongEvent> events = {{0, {0x90, 60, 127}, 3}};
  const std::string folder = testDir() + "/taken";
  std::filesystem::create_directories(folder);
  writeFile("taken/keep.txt", "kept");
  const struct {
    const char* what;
    std::string path;
    const char* says;
  } cases[] = {
      {"a folder in the way", folder, "Is a directory"},
      {"no such folder", testDir() + "/none/song.mid", "No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(songWrite(c.path.c_str(), events, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
  EXPECT_EQ(readFile(folder + "/keep.txt"), "kept");
  for (const auto& entry : std::filesystem::directory_iterator(testDir()))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path() << " was left behind";
}

}  // namespace
