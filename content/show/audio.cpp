// audio.cpp: the show's sound files: the effects (sfx.cpp) as WAV files under sound/, and the two
// modules (song_teufel.cpp, song_titles.cpp).
#include "audio.h"

#include "files.h"
#include "sfx.h"
#include "songs.h"
#include "synth.h"

std::string WriteAudio(const std::string& dir) {
    if (!MakeDir(dir + "/sound")) return "cannot make " + dir + "/sound";
    for (const SoundEffect& fx : SoundEffects())
        if (!WriteBytes(dir + "/sound/" + fx.name + ".wav", EncodeWav16(1, kSynthRate, fx.pcm)))
            return fx.name + ".wav not written";
    if (!WriteBytes(dir + "/teufel.it", EncodeIt(TeufelSong()))) return "teufel.it not written";
    if (!WriteBytes(dir + "/titles.it", EncodeIt(TitlesSong()))) return "titles.it not written";
    return "";
}
