// Writes a 31-sample, 4-channel module with the "M.K." signature. Every
// instrument is synthesised here, tuned so that the score's notes sound at
// their names: the pitched voices hold one cycle in 64 (bass) or 32 (lead,
// chord) samples; the drums are made for playing at C-2 (kick, snare) and
// C-3 (hihat).
#include "module.h"

#include <math.h>

#include <algorithm>

namespace
{

struct Sample {
    std::vector<double> Wave;
    size_t LoopStart = 0, LoopLength = 0; // in samples; no loop when 0
};

const double Pi = 3.14159265358979323846;
// The rate at which a sample is played for C-2 and C-3 (Amiga PAL clock).
const double RateC2 = 7093789.2 / (2 * 428), RateC3 = 7093789.2 / (2 * 214);

// A deterministic noise source, the same on every run and machine.
double Noise(uint32_t* State)
{
    *State = *State * 1664525u + 1013904223u;
    return (double)(*State >> 8) / (double)(1u << 23) - 1.0;
}

// A plucked bass: bright at the attack, darker as it decays.
Sample SynthBass()
{
    Sample S;
    for (int T = 0; T < 64 * 96; T++) {
        double V = 0;
        for (int K = 1; K <= 10; K++)
            V += sin(2 * Pi * K * T / 64.0) / K * exp(-T * (0.00022 + 0.00016 * K));
        S.Wave.push_back(V * std::min(1.0, T / 24.0));
    }
    return S;
}

// One cycle of a pulse wave of width W with N harmonics, softened above
// the eighth so that it does not buzz.
double Pulse(double Phase, double W, int N)
{
    double V = 0;
    for (int K = 1; K <= N; K++)
        V += 2.0 / (K * Pi) * sin(Pi * K * W) * cos(2 * Pi * K * (Phase - W / 2))
            / (1.0 + (K / 8.0) * (K / 8.0));
    return V;
}

// The lead: a pulse whose width sweeps slowly through its loop.
Sample SynthLead()
{
    Sample S;
    const int Cycle = 32, Attack = 8, Loop = 16;
    for (int C = 0; C < Attack + Loop; C++) {
        double W = 0.25 + 0.12 * sin(2 * Pi * C / Loop);
        for (int T = 0; T < Cycle; T++) {
            int N = C * Cycle + T;
            S.Wave.push_back(Pulse(T / (double)Cycle, W, 14) * std::min(1.0, N / 12.0));
        }
    }
    S.LoopStart = Attack * Cycle;
    S.LoopLength = Loop * Cycle;
    return S;
}

// The chord voice: a soft, hollow square, made for the arpeggio effect.
Sample SynthChord()
{
    Sample S;
    const int Cycle = 32;
    for (int T = 0; T < Cycle * 8; T++) {
        double P = (T % Cycle) / (double)Cycle, V = 0.35 * sin(4 * Pi * P);
        for (int K = 1; K <= 13; K += 2)
            V += sin(2 * Pi * K * P) / (K * (1.0 + K / 5.0));
        S.Wave.push_back(V * std::min(1.0, T / 16.0));
    }
    S.LoopStart = Cycle * 4;
    S.LoopLength = Cycle * 4;
    return S;
}

// A kick: a sine falling from about 155 Hz to 45 Hz, with a short click.
Sample SynthKick()
{
    Sample S;
    double Phase = 0;
    for (int N = 0; N < (int)(0.36 * RateC2); N++) {
        double T = N / RateC2;
        Phase += 2 * Pi * (45 + 110 * exp(-T * 28)) / RateC2;
        S.Wave.push_back(sin(Phase) * exp(-T * 8) + (N < 12 ? 0.5 * (1 - N / 12.0) : 0));
    }
    return S;
}

// A snare: a tone body under a burst of filtered noise.
Sample SynthSnare()
{
    Sample S;
    uint32_t Seed = 0x5EED;
    double Low = 0;
    for (int N = 0; N < (int)(0.26 * RateC2); N++) {
        double T = N / RateC2;
        Low += 0.55 * (Noise(&Seed) - Low);
        S.Wave.push_back(0.85 * Low * exp(-T * 16) + 0.55 * sin(2 * Pi * 185 * T) * exp(-T * 32));
    }
    return S;
}

// A closed hihat: high-passed noise, very short.
Sample SynthHihat()
{
    Sample S;
    uint32_t Seed = 0xC0FFEE;
    double Last = 0;
    for (int N = 0; N < (int)(0.07 * RateC3); N++) {
        double X = Noise(&Seed);
        S.Wave.push_back((X - Last) * exp(-N / RateC3 * 55));
        Last = X;
    }
    return S;
}

Sample Synthesise(const std::string& Kind)
{
    if (Kind == "bass")
        return SynthBass();
    if (Kind == "lead")
        return SynthLead();
    if (Kind == "chord")
        return SynthChord();
    if (Kind == "kick")
        return SynthKick();
    if (Kind == "snare")
        return SynthSnare();
    return SynthHihat();
}

// Scale to a peak of 120 and convert to signed bytes of even length.
std::vector<int8_t> ToBytes(const Sample& S)
{
    double Peak = 1e-9;
    for (double V : S.Wave)
        Peak = std::max(Peak, fabs(V));
    std::vector<int8_t> Out;
    for (double V : S.Wave)
        Out.push_back((int8_t)lround(V / Peak * 120.0));
    if (Out.size() % 2)
        Out.push_back(0);
    // A sample without a loop starts with a silent word, which players
    // repeat once the sample has ended.
    if (S.LoopLength == 0)
        Out[0] = Out[1] = 0;
    return Out;
}

void Put16(std::vector<uint8_t>& B, size_t V)
{
    B.push_back((uint8_t)(V >> 8));
    B.push_back((uint8_t)V);
}

void PutText(std::vector<uint8_t>& B, const std::string& Text, size_t Size)
{
    for (size_t I = 0; I < Size; I++)
        B.push_back(I < Text.size() ? (uint8_t)Text[I] : 0);
}

} // namespace

std::vector<uint8_t> BuildModule(const Song& S)
{
    std::vector<uint8_t> B;
    std::vector<std::vector<int8_t>> Data(MaxInstruments + 1);
    PutText(B, S.Title, 20);
    for (int I = 1; I <= MaxInstruments; I++) {
        const Instrument& Ins = S.Instruments[I];
        Sample Smp;
        if (!Ins.Kind.empty()) {
            Smp = Synthesise(Ins.Kind);
            Data[I] = ToBytes(Smp);
        }
        PutText(B, Ins.Kind, 22);
        Put16(B, Data[I].size() / 2);
        B.push_back(0); // finetune
        B.push_back((uint8_t)Ins.Volume);
        Put16(B, Smp.LoopStart / 2);
        Put16(B, Smp.LoopLength ? Smp.LoopLength / 2 : 1);
    }

    int Stored = *std::max_element(S.Order.begin(), S.Order.end()) + 1;
    B.push_back((uint8_t)S.Order.size());
    B.push_back(127);
    for (int I = 0; I < 128; I++)
        B.push_back(I < (int)S.Order.size() ? (uint8_t)S.Order[I] : 0);
    PutText(B, "M.K.", 4);

    for (int P = 0; P < Stored; P++)
        for (int R = 0; R < Rows; R++)
            for (int Ch = 0; Ch < Channels; Ch++) {
                const Cell& C = S.Patterns[P].Cells[R][Ch];
                B.push_back((uint8_t)((C.Instrument & 0xF0) | (C.Period >> 8)));
                B.push_back((uint8_t)(C.Period & 0xFF));
                B.push_back((uint8_t)(((C.Instrument & 0x0F) << 4) | C.Effect));
                B.push_back((uint8_t)C.Param);
            }
    for (int I = 1; I <= MaxInstruments; I++)
        B.insert(B.end(), Data[I].begin(), Data[I].end());
    return B;
}
