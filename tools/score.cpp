// The score parser. A score reads like a tracker's pattern view:
//
//   pattern 0
//   00 | A-1 01 ... | E-2 02 ... | A-1 03 037 | C-2 04 ...
//
// one line a row, four cells a line: a note (C-1 to B-3, or ---), an
// instrument (01 to 31, or ..) and an effect (three hex digits, or ...).
// Rows that are not written are empty; a '#' after a blank starts a comment.
#include "score.h"

#include <stdlib.h>

#include <sstream>

namespace
{

// Amiga periods for C-1 to B-3 at finetune 0.
const int Periods[36]
    = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453, 428, 404, 381, 360, 339, 320,
        302, 285, 269, 254, 240, 226, 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

bool ParseNote(const std::string& T, int* Period)
{
    static const std::string Names[12]
        = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    if (T == "---") {
        *Period = 0;
        return true;
    }
    if (T.size() != 3 || T[2] < '1' || T[2] > '3')
        return false;
    for (int N = 0; N < 12; N++)
        if (T.compare(0, 2, Names[N]) == 0) {
            *Period = Periods[(T[2] - '1') * 12 + N];
            return true;
        }
    return false;
}

bool ParseNumber(const std::string& T, int Base, int Lo, int Hi, int* Out)
{
    if (T.empty())
        return false;
    char* End;
    long V = strtol(T.c_str(), &End, Base);
    if (*End != '\0' || T[0] == '-' || T[0] == '+' || V < Lo || V > Hi)
        return false;
    *Out = (int)V;
    return true;
}

bool ParseCell(const std::string& Text, const Song& S, Cell* C, std::string* Why)
{
    std::istringstream In(Text);
    std::string Note, Ins, Fx, Extra;
    if (!(In >> Note >> Ins >> Fx) || (In >> Extra)) {
        *Why = "a cell needs a note, an instrument and an effect: '" + Text + "'";
        return false;
    }
    if (!ParseNote(Note, &C->Period)) {
        *Why = "bad note '" + Note + "' (C-1 to B-3, or ---)";
        return false;
    }
    if (Ins != ".."
        && (!ParseNumber(Ins, 10, 1, MaxInstruments, &C->Instrument)
            || S.Instruments[C->Instrument].Kind.empty())) {
        *Why = "unknown instrument '" + Ins + "'";
        return false;
    }
    int Fxv = 0;
    if (Fx != "..." && (Fx.size() != 3 || !ParseNumber(Fx, 16, 0, 0xFFF, &Fxv))) {
        *Why = "bad effect '" + Fx + "' (three hex digits, or ...)";
        return false;
    }
    C->Effect = Fxv >> 8;
    C->Param = Fxv & 0xFF;
    return true;
}

// A comment starts with '#' at the start of a line or after a blank, so
// that sharps such as C#2 are notes.
std::string StripComment(const std::string& Line)
{
    for (size_t I = 0; I < Line.size(); I++)
        if (Line[I] == '#' && (I == 0 || Line[I - 1] == ' ' || Line[I - 1] == '\t'))
            return Line.substr(0, I);
    return Line;
}

} // namespace

bool IsVoice(const std::string& Kind)
{
    for (const char* V : {"bass", "lead", "chord", "kick", "snare", "hihat"})
        if (Kind == V)
            return true;
    return false;
}

bool ParseScore(const std::string& Text, const std::string& Name, Song* Out, std::string* Error)
{
    Song S;
    std::istringstream Lines(Text);
    std::string Line;
    int LineNo = 0, LastRow = -1;
    auto Fail = [&](const std::string& Why) {
        *Error = Name + ":" + std::to_string(LineNo) + ": " + Why;
        return false;
    };

    while (std::getline(Lines, Line)) {
        LineNo++;
        Line = StripComment(Line);
        std::istringstream Words(Line);
        std::string Word;
        if (!(Words >> Word))
            continue;

        if (Word == "title") {
            std::getline(Words >> std::ws, S.Title);
            if (S.Title.size() > 20)
                return Fail("the title has more than 20 characters");
        } else if (Word == "instrument") {
            int N, Volume;
            std::string Kind;
            if (!(Words >> N >> Kind >> Volume) || N < 1 || N > MaxInstruments || Volume < 0
                || Volume > 64)
                return Fail("expected 'instrument NUMBER VOICE VOLUME' (1-31, 0-64)");
            if (!IsVoice(Kind))
                return Fail("unknown voice '" + Kind + "'");
            S.Instruments[N] = {Kind, Volume};
        } else if (Word == "order") {
            int P;
            while (Words >> P)
                S.Order.push_back(P);
            if (!Words.eof())
                return Fail("the order lists pattern numbers");
        } else if (Word == "pattern") {
            int P;
            if (!(Words >> P) || P != (int)S.Patterns.size())
                return Fail("patterns are numbered 0, 1, 2, ... in turn");
            S.Patterns.emplace_back();
            LastRow = -1;
        } else {
            int Row;
            if (!ParseNumber(Word, 10, 0, Rows - 1, &Row))
                return Fail("unknown line '" + Word + "'");
            if (S.Patterns.empty())
                return Fail("a row before the first pattern");
            if (Row <= LastRow)
                return Fail("rows must go up within a pattern");
            LastRow = Row;
            std::string Rest;
            std::getline(Words, Rest);
            std::istringstream Cells(Rest);
            std::string CellText;
            std::getline(Cells, CellText, '|'); // the text before the first bar
            if (CellText.find_first_not_of(" \t") != std::string::npos)
                return Fail("expected '|' after the row number");
            for (int Ch = 0; Ch < Channels; Ch++) {
                std::string Why;
                if (!std::getline(Cells, CellText, '|'))
                    return Fail("a row needs four cells");
                if (!ParseCell(CellText, S, &S.Patterns.back().Cells[Row][Ch], &Why))
                    return Fail(Why);
            }
            if (std::getline(Cells, CellText, '|')
                && CellText.find_first_not_of(" \t\r") != std::string::npos)
                return Fail("a row has only four cells");
        }
    }

    LineNo++;
    if (S.Patterns.empty())
        return Fail("the score has no pattern");
    if (S.Order.empty() || S.Order.size() > 128)
        return Fail("the order must list 1 to 128 patterns");
    for (int P : S.Order)
        if (P < 0 || P >= (int)S.Patterns.size())
            return Fail("the order names pattern " + std::to_string(P) + ", which is not written");
    *Out = S;
    return true;
}
