// voices.h: the instruments of the show's two songs, rendered by the synthesiser into IT samples
// and instruments, and the small notation the songs are written in.
#pragma once

#include <string>
#include <vector>

#include "it_writer.h"
#include "synth.h"

// ---- rendered samples (pitched ones sound their pitch at the note named) ----

// Drums and hits, unlooped, at their natural pitch on C-5.
ItSampleData Taiko();            // a big low drum in a stone room
ItSampleData Kick(float punch);  // a round kick; punch 0..1 adds the click and the drop
ItSampleData FrameDrum();        // a snare-like frame drum
ItSampleData Clap();
ItSampleData Shaker();
ItSampleData Tom();
ItSampleData Gong();                // a dark metal stroke with a long tail
ItSampleData Cymbal();              // a wash of metal and noise
ItSampleData Riser(float seconds);  // noise swelling up a rising band
// Tones.
ItSampleData Choir(int note, uint32_t seed);  // an "aah" of five voices, looped
ItSampleData DarkPad(int note);               // dark detuned saws, looped
ItSampleData WarmPad(int note);               // brighter, softer pad, looped
ItSampleData Bass(int note, float bite);      // saw bass with a filter blip, looped
ItSampleData Reed(int note);                  // a nasal lead, looped
ItSampleData Flute(int note);                 // a breathy lead, looped
ItSampleData Bell(int note, float ratio);     // FM bell, unlooped
ItSampleData Pluck(int note, uint32_t seed);  // plucked string, unlooped

// ---- instruments ----

// Volume envelopes over ticks of 20 ms (speed 4, tempo 125), each held at a sustain node until
// note-off, then released.
ItEnvelope Swell(int attackTicks, int releaseTicks);  // 0 -> 64, hold, -> 0
ItEnvelope Hold(int releaseTicks);                    // 64 at once, hold, -> 0

// Appends the samples to the song and an instrument playing them, sample k for the notes up to
// lastNotes[k] (the last sample for every note above). Returns the instrument's number.
int AddInstrument(ItSong* song, const std::string& name, std::vector<ItSampleData> samples,
                  const std::vector<int>& lastNotes, const ItEnvelope& envelope, int nna,
                  int fadeout);

// ---- notation ----

// A score of cells on absolute rows, later cut into patterns (AddTimeline).
using Score = std::vector<ItCell>;

void Put(Score* s, int row, int ch, int note, int ins, int vol = -1, int fx = 0, int param = 0);
// A drum lane: one character per `step` rows from `row`. '.' rests; 'X' 64, 'x' 48, 'o' 34,
// ',' 22, '_' 12 are volumes.
void Steps(Score* s, int row, int ch, int ins, int note, const char* lane, int step = 2,
           float gain = 1);
// A line of space-separated tokens, each `step` rows: a note name with octave ("D4", "Eb5",
// "F#3"; C-5 is note 60), '.' holds, '-' note-off, '^' cut. Returns the rows it took.
int Line(Score* s, int row, int ch, int ins, const char* tokens, int step, int vol,
         int transpose = 0);
// Note number of a name like "Bb3"; -1 if it is not one.
int NoteOf(const std::string& name);
