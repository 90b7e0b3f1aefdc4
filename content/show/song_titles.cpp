// song_titles.cpp: "titles.it", the closing piece under the final scene and its credits.
//
// D major, the key the temple's last chord arrived in; bars of 32 rows as in teufel.it, 1250 rows
// (100 s) that play once and end:
//   bars  0- 7  rows    0- 255  a warm pad rises, a few bells
//   bars  8-15  rows  256- 511  plucked arpeggios and a slow bass join
//   bars 16-23  rows  512- 767  soft drums and a flute melody
//   bars 24-31  rows  768-1023  everything, a choir, the melody an octave up
//   bars 32-38  rows 1024-1249  the drums leave; the last chord rings out to the end
#include "songs.h"
#include "voices.h"

namespace {

enum Channel {
    KICK,
    CLAP,
    HAT,
    BASS,
    PAD1,
    PAD2,
    PAD3,
    PLUCK,
    FLUTE,
    BELL,
    CHOIR1,
    CHOIR2,
    CHOIR3,
    CYMBAL,
    PLUCK2,
    CHANNELS
};

struct Chord {
    int notes[3];
    int root;
    const char* arp;  // eight plucked notes for the bar
};

const Chord kD{{50, 54, 57}, 38, "D5 F#5 A5 D6 A5 F#5 A5 F#5"},
    kA{{49, 52, 57}, 33, "C#5 E5 A5 C#6 A5 E5 A5 E5"},
    kBm{{50, 54, 59}, 35, "D5 F#5 B5 D6 B5 F#5 B5 F#5"},
    kG{{50, 55, 59}, 31, "D5 G5 B5 D6 B5 G5 B5 G5"},
    kEm{{52, 55, 59}, 40, "E5 G5 B5 E6 B5 G5 B5 G5"};

const Chord* const kVerse[8] = {&kD, &kA, &kBm, &kG, &kD, &kA, &kG, &kA};
const Chord* const kBridge[8] = {&kBm, &kG, &kD, &kA, &kEm, &kG, &kA, &kA};

}  // namespace

ItSong TitlesSong() {
    ItSong song;
    song.name = "titles";
    song.message = "titles\nthe closing piece\nsynthesised by the content builder";
    song.speed = 4;
    song.tempo = 125;
    song.mixVolume = 34;
    const ItEnvelope none;
    const int kick = AddInstrument(&song, "soft kick", {Kick(0.0f)}, {}, none, IT_NNA_CONTINUE, 0);
    const int clap = AddInstrument(&song, "clap", {Clap()}, {}, none, IT_NNA_CONTINUE, 0);
    const int hat = AddInstrument(&song, "shaker", {Shaker()}, {}, none, IT_NNA_CUT, 0);
    const int bass = AddInstrument(&song, "bass", {Bass(38, 0.3f)}, {}, Hold(20), IT_NNA_OFF, 0);
    const int pad = AddInstrument(&song, "warm pad", {WarmPad(50), WarmPad(62)}, {55},
                                  Swell(60, 100), IT_NNA_OFF, 0);
    const int pluck =
        AddInstrument(&song, "pluck", {Pluck(62, 7), Pluck(74, 8)}, {67}, none, IT_NNA_CONTINUE, 0);
    const int flute = AddInstrument(&song, "flute", {Flute(74)}, {}, Swell(4, 16), IT_NNA_OFF, 0);
    const int bell = AddInstrument(&song, "bell", {Bell(74, 2.0f)}, {}, none, IT_NNA_CONTINUE, 0);
    const int choir = AddInstrument(&song, "choir", {Choir(45, 111), Choir(57, 112)}, {51},
                                    Swell(50, 90), IT_NNA_OFF, 0);
    const int cymbal = AddInstrument(&song, "cymbal", {Cymbal()}, {}, none, IT_NNA_CONTINUE, 0);
    song.channelPan.assign(CHANNELS, 32);
    song.channelPan[HAT] = 42;
    song.channelPan[PAD1] = 20;
    song.channelPan[PAD3] = 44;
    song.channelPan[PLUCK] = 40;
    song.channelPan[PLUCK2] = 22;
    song.channelPan[BELL] = 26;
    song.channelPan[CHOIR1] = 16;
    song.channelPan[CHOIR3] = 48;

    Score s;
    auto bar = [&](int b, const Chord& c, int padVol, int pluckVol, int bassVol,
                   const char* bassShape) {
        const int r = 32 * b;
        for (int v = 0; v < 3; ++v) Put(&s, r, PAD1 + v, c.notes[v], pad, padVol);
        if (pluckVol > 0) {
            Line(&s, r, PLUCK, pluck, c.arp, 4, pluckVol);
            Line(&s, r + 6, PLUCK2, pluck, c.arp, 8, pluckVol / 2);  // a softer echo, half as fast
        }
        if (bassVol > 0)
            for (int k = 0; bassShape[k]; ++k) {
                if (bassShape[k] == 'r') Put(&s, r + 2 * k, BASS, c.root, bass, bassVol);
                if (bassShape[k] == 'o') Put(&s, r + 2 * k, BASS, c.root + 12, bass, bassVol);
                if (bassShape[k] == 'f') Put(&s, r + 2 * k, BASS, c.root + 7, bass, bassVol);
                if (bassShape[k] == '-') Put(&s, r + 2 * k, BASS, IT_NOTE_OFF, 0);
            }
    };
    auto drums = [&](int b, float gain, bool full) {
        const int r = 32 * b;
        Steps(&s, r, KICK, kick, 48, full ? "X...X...X...X..." : "X.......X.....x.", 2, gain);
        Steps(&s, r, CLAP, clap, 60, "....x.......x...", 2, gain * 0.8f);
        Steps(&s, r, HAT, hat, 60, full ? "o,x,o,x,o,x,o,x," : "o.x.o.x.o.x.o.x.", 2, gain * 0.7f);
    };

    // Bars 0-7: the pad rises alone, then bells.
    for (int b = 0; b < 8; ++b) bar(b, *kVerse[b], 30 + 2 * b, 0, 0, "");
    Line(&s, 64, BELL, bell, "F#5 . . . . . . . E5 . . . . . . . D5 . . . A4", 8, 30);
    Line(&s, 192, BELL, bell, "A5 . . . F#5 . . . G5 . . . E5", 8, 32);
    // Bars 8-15: arpeggios and bass; a shaker in the second half.
    for (int b = 8; b < 16; ++b) {
        bar(b, *kVerse[b % 8], 44, 30 + (b - 8) * 2, 40, "r...............");
        if (b >= 12) Steps(&s, 32 * b, HAT, hat, 60, "o.,.o.,.o.,.o.,.", 2, 0.6f);
    }
    // Bars 16-23: drums and the melody.
    Put(&s, 512, CYMBAL, 60, cymbal, 40);
    for (int b = 16; b < 24; ++b) {
        bar(b, *kVerse[b % 8], 40, 40, 48, "r.......r...f.o.");
        drums(b, 0.8f, false);
    }
    Line(&s, 512, FLUTE, flute,
         "F#5 . A5 . D6 . C#6 B5 A5 . . . E5 . . . F#5 . B5 . A5 . F#5 . G5 . F#5 . E5 . D5 . "
         "F#5 . A5 . D6 . E6 . C#6 . . . A5 . . . B5 . A5 . G5 . F#5 . E5 . . . . . - .",
         4, 44);
    // Bars 24-31: the bridge, then the verse again, everything in.
    Put(&s, 768, CYMBAL, 60, cymbal, 50);
    for (int b = 24; b < 32; ++b) {
        const Chord& c = *kBridge[b - 24];
        bar(b, c, 42, 44, 52, "r...r.o.r...f.o.");
        drums(b, 0.9f, true);
        for (int v = 0; v < 3; ++v) Put(&s, 32 * b, CHOIR1 + v, c.notes[v] + 12, choir, 34);
    }
    Line(&s, 768, FLUTE, flute,
         "D6 . . . B5 . . . A5 . B5 . D6 . . . E6 . . . D6 . C#6 . B5 . . . A5 . . . "
         "B5 . . . G5 . A5 . B5 . D6 . C#6 . B5 . A5 . . . . . C#6 . E6 . A6 . . . . . - .",
         4, 46);
    // Bars 32-39: the drums leave, arpeggios thin, the last chord rings.
    Put(&s, 1024, CYMBAL, 60, cymbal, 36);
    Put(&s, 1024, KICK, 48, kick, 44);
    for (int b = 32; b < 36; ++b)
        bar(b, *kVerse[b % 8], 40 - 2 * (b - 32), 34 - 4 * (b - 32), 40, "r...............");
    Line(&s, 1024, BELL, bell, "D6 . . . . . . . C#6 . . . . . . . B5 . . . A5", 8, 30);
    for (int v = 0; v < 3; ++v) {
        Put(&s, 1152, PAD1 + v, kD.notes[v], pad, 36);
        Put(&s, 1152, CHOIR1 + v, kD.notes[v] + 12, choir, 26);
    }
    Put(&s, 1152, BASS, 26, bass, 36);
    Put(&s, 1152, BELL, 74, bell, 34);
    Line(&s, 1160, PLUCK, pluck, "D5 F#5 A5 D6", 6, 24);
    for (int ch : {PAD1, PAD2, PAD3, CHOIR1, CHOIR2, CHOIR3, BASS})
        Put(&s, 1196, ch, IT_NOTE_OFF, 0);

    AddTimeline(&song, s, 1250, {256, 512, 768, 1024});
    return song;
}
