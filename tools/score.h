// The tune as text: a tracker-style score, parsed into patterns of cells.
#ifndef PELLACORN_TOOLS_SCORE_H
#define PELLACORN_TOOLS_SCORE_H

#include <string>
#include <vector>

const int Rows = 64, Channels = 4, MaxInstruments = 31;

struct Cell {
    int Period = 0;     // Amiga period of the note, 0 for none
    int Instrument = 0; // 1..31, 0 for none
    int Effect = 0;     // effect command, 0..15
    int Param = 0;      // its parameter byte
};

struct Pattern {
    Cell Cells[Rows][Channels];
};

struct Instrument {
    std::string Kind; // the synthesised voice: bass, lead, chord, kick, snare, hihat
    int Volume = 0;   // 0..64
};

struct Song {
    std::string Title;
    Instrument Instruments[MaxInstruments + 1]; // [0] unused; empty Kind = unused
    std::vector<Pattern> Patterns;
    std::vector<int> Order;
};

// Parse the score text. On error, Error holds "NAME:LINE: what is wrong".
bool ParseScore(const std::string& Text, const std::string& Name, Song* Out, std::string* Error);

// The known voices, for checking instrument lines.
bool IsVoice(const std::string& Kind);

#endif
