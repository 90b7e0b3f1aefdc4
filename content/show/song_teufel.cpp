// song_teufel.cpp: "teufel.it", the dark ritual piece from frame 12 to the end of the temple.
//
// D phrygian, bars of 32 rows (2.56 s, about 94 beats a minute with 8 rows a beat). Row n sounds
// at frame 12 + n, so the sections land on the script's frames:
//   rows    0-  87  frames   12-  99  the logo tumbles: a drone, the choir breathes in, bells
//   rows   88- 287  frames  100- 299  the title card: a gong on its cut, ritual drums gather
//   rows  288- 417  frames  300- 429  the walk-in: the full groove, bass ostinato
//   rows  418- 575  frames  430- 587  the acts: backbeat and a reed lament; lightning hits
//   rows  576- 797  frames  588- 809  the walk to the dais: toms, higher choir, a build to the spell
//   rows  798-1017  frames  810-1029  the ritual: drums fall to a heartbeat, thunder strokes
//   rows 1018-1217  frames 1030-1229  the relic descends: bell arpeggios, half-time drums
//   rows 1218-1552  frames 1230-1564  the great lightning and the climax
//   rows 1553-1619  frames 1565-1631  the relic's end: one blow and a D major chord dying away
#include <cstring>

#include "songs.h"
#include "voices.h"

namespace {

enum Channel {
    TAIKO,
    KICK,
    FRAME,
    SHAKER,
    GONG,
    CYMBAL,
    RISER,
    TOM,
    BASS,
    CHOIR1,
    CHOIR2,
    CHOIR3,
    PAD1,
    PAD2,
    BELL,
    LEAD,
    BELL2,
    CHANNELS
};

struct Ins {
    int taiko, kick, frame, shaker, gong, cymbal, riser, tom, bass, choir, pad, bell, lead;
};

Ins Instruments(ItSong* song) {
    const ItEnvelope none;
    Ins i{};
    i.taiko = AddInstrument(song, "taiko", {Taiko()}, {}, none, IT_NNA_CONTINUE, 0);
    i.kick = AddInstrument(song, "kick", {Kick(0.3f)}, {}, none, IT_NNA_CONTINUE, 0);
    i.frame = AddInstrument(song, "frame drum", {FrameDrum()}, {}, none, IT_NNA_CONTINUE, 0);
    i.shaker = AddInstrument(song, "shaker", {Shaker()}, {}, none, IT_NNA_CUT, 0);
    i.gong = AddInstrument(song, "gong", {Gong()}, {}, none, IT_NNA_CONTINUE, 0);
    i.cymbal = AddInstrument(song, "cymbal", {Cymbal()}, {}, none, IT_NNA_CONTINUE, 0);
    i.riser = AddInstrument(song, "riser", {Riser(2.2f)}, {}, none, IT_NNA_CONTINUE, 0);
    i.tom = AddInstrument(song, "tom", {Tom()}, {}, none, IT_NNA_CONTINUE, 0);
    i.bass = AddInstrument(song, "bass", {Bass(38, 0.8f)}, {}, Hold(12), IT_NNA_OFF, 0);
    i.choir = AddInstrument(song, "choir", {Choir(45, 101), Choir(57, 102)}, {51}, Swell(45, 90),
                            IT_NNA_OFF, 0);
    i.pad = AddInstrument(song, "drone", {DarkPad(38)}, {}, Swell(70, 110), IT_NNA_OFF, 0);
    i.bell = AddInstrument(song, "bell", {Bell(62, 3.5f)}, {}, none, IT_NNA_CONTINUE, 0);
    i.lead = AddInstrument(song, "reed", {Reed(62)}, {}, Swell(3, 14), IT_NNA_OFF, 0);
    return i;
}

struct Chord {
    const char* name;
    int notes[3];
    int root;  // bass note
};

// Voicings around the fourth octave; roots for the bass in the third.
const Chord kDm{"Dm", {50, 53, 57}, 38}, kEb{"Eb", {51, 55, 58}, 39}, kCm{"Cm", {48, 51, 55}, 36},
    kBb{"Bb", {46, 50, 53}, 34}, kGm{"Gm", {43, 46, 50}, 31}, kA{"A", {45, 49, 52}, 33},
    kD{"D", {50, 54, 57}, 38};

struct Writer {
    Score s;
    Ins i;

    void ChoirChord(int row, const Chord& c, int vol, int octave = 0) {
        for (int v = 0; v < 3; ++v)
            Put(&s, row, CHOIR1 + v, c.notes[v] + 12 * octave, i.choir, vol);
    }
    void Drone(int row, int root, int vol) {
        Put(&s, row, PAD1, root, i.pad, vol);
        Put(&s, row, PAD2, root + 7, i.pad, vol * 3 / 4);
    }
    void Hit(int row, int vol) {
        Put(&s, row, GONG, 60, i.gong, vol);
        Put(&s, row, CYMBAL, 60, i.cymbal, vol * 3 / 4);
        Put(&s, row, TAIKO, 60, i.taiko, 64);
    }
    void Riser(int endRow, int vol) {  // 2.2 s, so it peaks on endRow
        Put(&s, endRow - 27, RISER, 60, i.riser, vol);
    }
    // One bar of bass ostinato on the chord's root.
    void BassBar(int row, const Chord& c, const char* shape, int vol) {
        static const struct {
            char key;
            int offset;
        } kDegrees[] = {{'r', 0}, {'o', 12}, {'f', 7}, {'b', 1}, {'m', 3}, {'s', -2}, {'l', -5}};
        for (int k = 0; shape[k]; ++k) {
            if (shape[k] == '-') Put(&s, row + 2 * k, BASS, IT_NOTE_OFF, 0);
            for (const auto& d : kDegrees)
                if (shape[k] == d.key) Put(&s, row + 2 * k, BASS, c.root + d.offset, i.bass, vol);
        }
    }
};

}  // namespace

ItSong TeufelSong() {
    ItSong song;
    song.name = "teufel";
    song.message =
        "teufel\nthe temple, the storm and the relic\nsynthesised by the content builder";
    song.speed = 4;
    song.tempo = 125;
    song.mixVolume = 32;
    song.globalVolume = 128;
    Writer w;
    w.i = Instruments(&song);
    const Ins& I = w.i;
    Score& s = w.s;
    song.channelPan.assign(CHANNELS, 32);
    song.channelPan[SHAKER] = 44;
    song.channelPan[CYMBAL] = 38;
    song.channelPan[TOM] = 24;
    song.channelPan[CHOIR1] = 18;
    song.channelPan[CHOIR3] = 46;
    song.channelPan[PAD1] = 26;
    song.channelPan[PAD2] = 38;
    song.channelPan[BELL] = 40;
    song.channelPan[BELL2] = 22;
    song.channelPan[LEAD] = 30;

    // ---- the logo: rows 0-87 ----
    w.Drone(0, 38, 40);
    Put(&s, 0, BELL, 62, I.bell, 40);
    w.ChoirChord(32, kDm, 26);
    Put(&s, 40, BELL, 57, I.bell, 30);
    Put(&s, 64, BELL, 65, I.bell, 34);
    Put(&s, 76, BELL2, 63, I.bell, 24);
    w.Riser(88, 40);

    // ---- the title card: rows 88-287 ----
    w.Hit(88, 50);
    const Chord titleBars[] = {kDm, kEb, kDm, kCm, kDm, kEb};  // bars 3-8
    for (int b = 0; b < 6; ++b) w.ChoirChord(96 + 32 * b, titleBars[b], 34 + 3 * b);
    w.Drone(96, 38, 36);
    for (int b = 0; b < 3; ++b)
        Steps(&s, 96 + 32 * b, TAIKO, I.taiko, 60, "o.......,.......o.......,.......", 1,
              1 + 0.15f * b);
    Line(&s, 104, BELL, I.bell, "A4 . . . Bb4 . . . A4 . . . . . . . F4 . . . E4 . . . D4", 4, 30);
    Steps(&s, 192, TAIKO, I.taiko, 60, "x.......o...x...x.......o.o.x...", 1);
    Steps(&s, 224, TAIKO, I.taiko, 60, "x.......o...x...x.......o.o.x.o.", 1);
    Steps(&s, 192, KICK, I.kick, 48, "X.......X.......", 4, 0.7f);
    Steps(&s, 224, KICK, I.kick, 48, "X.......X.......", 4, 0.8f);
    w.BassBar(192, kCm, "r.......o.......", 40);
    w.BassBar(224, kDm, "r.......r...o...", 44);
    // The gathering roll into the walk-in.
    Steps(&s, 256, TAIKO, I.taiko, 60, "o...o...o...o...x.x.x.x.xxxxXXXX", 1);
    Steps(&s, 256, TOM, I.tom, 60, "........,.,.o.o.o.o.x.x.x.x.XXXX", 1);
    w.BassBar(256, kEb, "r.......r.......", 48);
    w.Riser(288, 52);

    // ---- the walk-in: rows 288-417 ----
    w.Hit(288, 60);
    const Chord walkBars[] = {kDm, kEb, kCm, kDm};  // bars 9-12
    for (int b = 0; b < 4; ++b) {
        const int r = 288 + 32 * b;
        w.ChoirChord(r, walkBars[b], 42);
        Steps(&s, r, TAIKO, I.taiko, 60, "X...x.o.X...x..o", 2);
        Steps(&s, r, KICK, I.kick, 48, "X.......X...X...", 2);
        Steps(&s, r, SHAKER, I.shaker, 60, ",.o.,.o.,.o.,.o.", 2, 0.8f);
        w.BassBar(r, walkBars[b], b % 2 ? "r.rb.r.rr.ro.m.r" : "r.ro.r.rr.rb.r.s", 50);
    }
    w.Drone(288, 38, 28);

    // ---- the acts: rows 418-575 ----
    const Chord actBars[] = {kBb, kEb, kDm, kCm, kA};  // bars 13-17
    for (int b = 0; b < 5; ++b) {
        const int r = 416 + 32 * b;
        w.ChoirChord(r + (b == 0 ? 2 : 0), actBars[b], 44);
        Steps(&s, r, TAIKO, I.taiko, 60, b == 0 ? ".x..x.o.X...x..o" : "X...x.o.X...x.xo", 2);
        Steps(&s, r, KICK, I.kick, 48, "X.......X...X.x.", 2);
        Steps(&s, r, FRAME, I.frame, 60, "....X.......X..o", 2, 0.85f);
        Steps(&s, r, SHAKER, I.shaker, 60, ",,o,,,o,,,o,,,o,", 2, 0.8f);
        w.BassBar(r, actBars[b], b == 4 ? "r.rr.o.rr.ro.o.o" : "r.ro.r.rr.rb.r.s", 52);
    }
    Put(&s, 418, GONG, 60, I.gong, 44);
    Line(&s, 420, LEAD, I.lead,
         "D5 . . Eb5 D5 . C5 . Bb4 . . . A4 . . . "
         "D5 . F5 . Eb5 . D5 . C5 . Bb4 . A4 . . . "
         "A4 . Bb4 . C#5 . E5 . D5 . . . - . . .",
         4, 46);
    for (int r : {450, 516}) w.Hit(r, 48);  // the lightning at 462 and 528

    // ---- the walk to the dais: rows 576-797 ----
    const Chord walkOnBars[] = {kDm, kBb, kEb, kCm, kDm, kBb, kA};  // bars 18-24
    Put(&s, 575, BASS, IT_NOTE_OFF, 0);
    for (int b = 0; b < 7; ++b) {
        const int r = 576 + 32 * b;
        w.ChoirChord(r, walkOnBars[b], 40 + 2 * b, 1);
        // Three light bars (toms and taiko under the high choir, no bass), then the build.
        const bool light = b < 3, build = b >= 5;
        Steps(&s, r, TAIKO, I.taiko, 60,
              build   ? "X.x.x.o.X.x.x.xx"
              : light ? "X.......x.....o."
                      : "X...x.o.X...x..o",
              2);
        Steps(&s, r, TOM, I.tom, b % 2 ? 55 : 60, b % 2 ? "..o...o...o.o.x." : "..o...o...o...o.",
              2);
        Steps(&s, r, SHAKER, I.shaker, 60, "o,x,o,x,o,x,o,x,", 2, 0.7f);
        if (light) continue;
        Steps(&s, r, KICK, I.kick, 48, "X...X...X...X...", 2, 0.9f);
        Steps(&s, r, FRAME, I.frame, 60, "....X.......X...", 2, 0.8f);
        w.BassBar(r, walkOnBars[b], "r.rr.o.r.rr.o.or", 52);
    }
    w.Hit(576, 52);
    w.Drone(576, 38, 28);
    w.Hit(698, 50);  // the lightning at 710
    // Bells climb into the spell at frame 805 (row 793).
    Line(&s, 768, BELL, I.bell, "D4 F4 A4 D5 F5 A5 D6 . . . . . . . . .", 2, 36);
    Line(&s, 770, BELL2, I.bell, "A4 D5 F5 A5 D6 F6 . . . . . . .", 2, 24);
    w.Riser(793, 50);

    // ---- the ritual: rows 798-1017 ----
    const Chord ritualBars[] = {kDm, kDm, kEb, kEb, kGm, kCm, kA};  // bars 25-31 from row 798
    for (int b = 0; b < 7; ++b) {
        const int r = 798 + 32 * b;
        w.ChoirChord(r, ritualBars[b], 30 + 2 * b);
        if (b < 6)
            Steps(&s, r, TAIKO, I.taiko, 55, "x..o............x..o...........", 1,
                  0.7f + 0.05f * b);
        Put(&s, r, BASS, ritualBars[b].root, I.bass, 36);
    }
    w.Drone(798, 38, 36);
    Put(&s, 798, GONG, 55, I.gong, 56);
    Line(&s, 830, BELL, I.bell, "D5 . . . . . . . A4 . . . . . . . Bb4 . . . . . . . A4", 4, 30);
    for (int r : {891, 928}) {  // the lightning at 903 and 940
        Put(&s, r, GONG, 53, I.gong, 58);
        Put(&s, r, CYMBAL, 60, I.cymbal, 40);
    }
    Steps(&s, 990, TOM, I.tom, 60, "o.o.o.o.x.x.x.xxXXXX", 1);
    Steps(&s, 1006, TAIKO, I.taiko, 60, "x.x.xxXX", 1);
    w.Riser(1018, 48);

    // ---- the relic: rows 1018-1217 ----
    w.Hit(1018, 58);
    const Chord relicBars[] = {kDm, kBb, kGm, kEb, kDm, kCm};  // from row 1018, bars of 32 rows
    static const char* const kArps[] = {
        "D5 F5 A5 D6 A5 F5 A5 D6",       "D5 F5 Bb5 D6 Bb5 F5 Bb5 D6", "D5 G5 Bb5 D6 Bb5 G5 Bb5 D6",
        "Eb5 G5 Bb5 Eb6 Bb5 G5 Bb5 Eb6", "D5 F5 A5 D6 A5 F5 A5 D6",    "C5 Eb5 G5 C6 G5 Eb5 G5 C6"};
    for (int b = 0; b < 6; ++b) {
        const int r = 1018 + 32 * b;
        w.ChoirChord(r, relicBars[b], 48, 1);
        Line(&s, r, BELL2, I.bell, kArps[b], 4, 34 + 2 * b);
        Steps(&s, r, TAIKO, I.taiko, 60, "X.........x.....", 2, 0.85f);
        Steps(&s, r, FRAME, I.frame, 60, "........X.......", 2, 0.7f);
        Steps(&s, r, SHAKER, I.shaker, 60, ",.,.o.,.,.,.o.,.", 2, 0.6f);
        Put(&s, r, BASS, relicBars[b].root, I.bass, 44);
    }
    w.Drone(1018, 38, 30);
    w.Hit(1091, 44);  // the lightning at 1103
    Steps(&s, 1202, TAIKO, I.taiko, 60, "x.x.xxxx", 1);
    w.Riser(1218, 52);

    // ---- the great lightning and the climax: rows 1218-1552 ----
    w.Hit(1218, 64);
    const Chord climax[] = {kDm, kEb, kCm, kDm, kBb, kEb,
                            kCm, kA,  kDm, kEb, kBb, kA};  // from row 1218
    for (int b = 0; b < 10; ++b) {
        const int r = 1218 + 32 * b;
        const Chord& c = climax[b];
        const bool high = r >= 1428;  // the flight down the nave
        w.ChoirChord(r, c, high ? 54 : 50, high ? 1 : 0);
        Steps(&s, r, TAIKO, I.taiko, 60, high ? "X.x.x.o.X.x.x.xx" : "X.x.x.o.X...x.xo", 2);
        Steps(&s, r, KICK, I.kick, 48, "X...X...X...X...", 2);
        Steps(&s, r, FRAME, I.frame, 60, "....X.......X..o", 2);
        Steps(&s, r, SHAKER, I.shaker, 60, "oxoxoxoxoxoxoxox", 2, 0.7f);
        w.BassBar(r, c, "r.ro.r.rr.rb.r.s", 56);
        if (b % 4 == 0) Put(&s, r, CYMBAL, 60, I.cymbal, 44);
    }
    w.Drone(1218, 38, 32);
    Line(&s, 1222, LEAD, I.lead,
         "D5 . . . F5 . Eb5 D5 Eb5 . . . G5 . F5 Eb5 C5 . . . Eb5 . D5 C5 D5 . . . . . A4 .", 4,
         50);
    Line(&s, 1350, LEAD, I.lead,
         "Bb4 . D5 . F5 . Bb5 . A5 . G5 . F5 . Eb5 . D5 . Eb5 . C5 . Bb4 . A4 . . . C#5 . E5 .", 4,
         50);
    Line(&s, 1478, LEAD, I.lead, "D6 . . . C6 . Bb5 A5 Bb5 . . . A5 . . . - .", 4, 54);
    Put(&s, 1440, CYMBAL, 60, I.cymbal, 54);
    // The last fill into the blow.
    Steps(&s, 1538, TOM, I.tom, 60, "o.o.x.x.X.X.XXXX", 1);
    Steps(&s, 1538, TAIKO, I.taiko, 60, "x...x...x.x.xxxX", 1);

    // ---- the relic's end: rows 1553-1619 ----
    // The blow itself is the effect "konec" on this very frame: the music gives way to it and
    // answers with the gong, the bell and the chord.
    Put(&s, 1553, GONG, 55, I.gong, 40);
    Put(&s, 1553, BELL, 62, I.bell, 44);
    for (int ch : {FRAME, SHAKER, LEAD, BASS}) Put(&s, 1552, ch, IT_NOTE_OFF, 0);
    Put(&s, 1553, BASS, 38, I.bass, 50);
    w.ChoirChord(1553, kD, 46);
    w.Drone(1553, 38, 44);
    for (int ch : {CHOIR1, CHOIR2, CHOIR3, PAD1, PAD2, BASS}) Put(&s, 1584, ch, IT_NOTE_OFF, 0);

    AddTimeline(&song, s, 1620, {88, 288, 418, 576, 798, 1018, 1218, 1553});
    return song;
}
