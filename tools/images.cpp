// Pellacorn's own logos and icon. Pure black (0, 0, 0) is the transparent
// colour of every logo, so anything dark inside a design is near-black.
#include "images.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <gif_lib.h>
#include <math.h>
#include <png.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace
{

// A floating-point RGB picture; (0, 0, 0) is background.
struct Canvas {
    int w, h;
    std::vector<float> rgb;
};

struct Colour {
    float r, g, b;
};

Canvas MakeCanvas(int W, int H)
{
    return Canvas {W, H, std::vector<float>((size_t)W * H * 3, 0.0f)};
}

Colour Mix(Colour A, Colour B, float T)
{
    T = std::clamp(T, 0.0f, 1.0f);
    return {A.r + (B.r - A.r) * T, A.g + (B.g - A.g) * T, A.b + (B.b - A.b) * T};
}

// Paint C over the pixel with the given coverage (0..1).
void Blend(Canvas& Cv, int X, int Y, Colour C, float Coverage)
{
    if (X < 0 || Y < 0 || X >= Cv.w || Y >= Cv.h || Coverage <= 0.0f)
        return;
    float* P = &Cv.rgb[((size_t)Y * Cv.w + X) * 3];
    Coverage = std::min(Coverage, 1.0f);
    P[0] += (C.r - P[0]) * Coverage;
    P[1] += (C.g - P[1]) * Coverage;
    P[2] += (C.b - P[2]) * Coverage;
}

// The coverage mask of a line of text, rendered by SDL_ttf.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> a;
};

Mask RenderText(const std::string& FontFile, int Size, const char* Text)
{
    Mask M;
    TTF_Font* Font = TTF_OpenFont(FontFile.c_str(), Size);
    if (Font == NULL) {
        fprintf(stderr, "makeassets: cannot open font %s: %s\n", FontFile.c_str(), TTF_GetError());
        return M;
    }
    SDL_Color White = {255, 255, 255, 0};
    SDL_Surface* S = TTF_RenderUTF8_Blended(Font, Text, White);
    TTF_CloseFont(Font);
    if (S == NULL)
        return M;
    M.w = S->w;
    M.h = S->h;
    M.a.resize((size_t)M.w * M.h);
    SDL_LockSurface(S);
    for (int Y = 0; Y < M.h; Y++)
        for (int X = 0; X < M.w; X++) {
            Uint32 P = ((Uint32*)((Uint8*)S->pixels + Y * S->pitch))[X];
            Uint8 R, G, B, A;
            SDL_GetRGBA(P, S->format, &R, &G, &B, &A);
            M.a[(size_t)Y * M.w + X] = A / 255.0f;
        }
    SDL_UnlockSurface(S);
    SDL_FreeSurface(S);
    return M;
}

// The tight bounding box of a mask's ink, so text can be centred exactly.
void InkBox(const Mask& M, int* X0, int* Y0, int* X1, int* Y1)
{
    *X0 = M.w, *Y0 = M.h, *X1 = -1, *Y1 = -1;
    for (int Y = 0; Y < M.h; Y++)
        for (int X = 0; X < M.w; X++)
            if (M.a[(size_t)Y * M.w + X] > 0.0f) {
                *X0 = std::min(*X0, X), *X1 = std::max(*X1, X);
                *Y0 = std::min(*Y0, Y), *Y1 = std::max(*Y1, Y);
            }
}

// Stamp text centred on (CX, CY) with a colour that depends on the pixel.
template <typename Paint>
bool StampText(Canvas& Cv, const std::string& FontFile, int Size, const char* Text, float CX,
    float CY, int DX, int DY, Paint PaintAt)
{
    Mask M = RenderText(FontFile, Size, Text);
    if (M.w == 0)
        return false;
    int X0, Y0, X1, Y1;
    InkBox(M, &X0, &Y0, &X1, &Y1);
    int OX = (int)lroundf(CX - (X0 + X1 + 1) / 2.0f) + DX;
    int OY = (int)lroundf(CY - (Y0 + Y1 + 1) / 2.0f) + DY;
    for (int Y = 0; Y < M.h; Y++)
        for (int X = 0; X < M.w; X++)
            Blend(Cv, OX + X, OY + Y, PaintAt(OX + X, OY + Y), M.a[(size_t)Y * M.w + X]);
    return true;
}

// Fill the shape Inside(x, y) with 4x4 supersampling for smooth edges.
template <typename Inside, typename Paint> void FillShape(Canvas& Cv, Inside In, Paint PaintAt)
{
    for (int Y = 0; Y < Cv.h; Y++)
        for (int X = 0; X < Cv.w; X++) {
            int Hits = 0;
            for (int S = 0; S < 16; S++)
                Hits += In(X + (S % 4 + 0.5f) / 4.0f, Y + (S / 4 + 0.5f) / 4.0f);
            Blend(Cv, X, Y, PaintAt(X, Y), Hits / 16.0f);
        }
}

Uint8 ToByte(float V)
{
    return (Uint8)std::clamp((int)lroundf(V * 255.0f), 0, 255);
}

void PutLE(std::vector<Uint8>& Out, Uint32 Value, int Bytes)
{
    for (int K = 0; K < Bytes; K++)
        Out.push_back((Uint8)(Value >> (8 * K)));
}

// Writes the bytes SDL 1.2's SDL_SaveBMP wrote, the same with any SDL (SDL 2
// and 3 fill an 8-bit palette's unused entries differently): a 40-byte
// header, rows bottom-up padded with zeros to four bytes, pixels as B G R,
// and for 8 bits a palette of 256 entries. Rows holds W * H pixels top-down,
// as R G B bytes (24 bits) or palette indexes (8 bits).
bool SaveBMP(const std::string& Path, int W, int H, int Bits, const std::vector<Uint8>& Rows,
    const std::vector<SDL_Color>& Palette)
{
    const int Bpp = Bits / 8, Pitch = (W * Bpp + 3) & ~3;
    const Uint32 Colours = Bits == 8 ? 256 : 0, Offset = 54 + Colours * 4;
    std::vector<Uint8> Out;
    Out.push_back('B'), Out.push_back('M');
    PutLE(Out, Offset + (Uint32)Pitch * H, 4);
    PutLE(Out, 0, 4); // reserved
    PutLE(Out, Offset, 4);
    PutLE(Out, 40, 4);
    PutLE(Out, W, 4), PutLE(Out, H, 4);
    PutLE(Out, 1, 2), PutLE(Out, Bits, 2);
    PutLE(Out, 0, 4); // no compression
    PutLE(Out, (Uint32)Pitch * H, 4);
    PutLE(Out, 0, 4), PutLE(Out, 0, 4); // no resolution
    PutLE(Out, Colours, 4), PutLE(Out, 0, 4);
    for (Uint32 I = 0; I < Colours; I++) {
        SDL_Color C = I < Palette.size() ? Palette[I] : SDL_Color {0, 0, 0, 0};
        Out.push_back(C.b), Out.push_back(C.g), Out.push_back(C.r), Out.push_back(0);
    }
    for (int Y = H - 1; Y >= 0; Y--) {
        const Uint8* Row = &Rows[(size_t)Y * W * Bpp];
        for (int X = 0; X < W; X++)
            for (int K = Bpp - 1; K >= 0; K--)
                Out.push_back(Row[X * Bpp + K]);
        Out.resize(Out.size() + Pitch - W * Bpp, 0);
    }
    FILE* F = fopen(Path.c_str(), "wb");
    bool Ok = F != NULL && fwrite(Out.data(), 1, Out.size(), F) == Out.size();
    if (F != NULL && fclose(F) != 0)
        Ok = false;
    if (!Ok)
        fprintf(stderr, "makeassets: cannot write %s\n", Path.c_str());
    return Ok;
}

bool SaveCanvasBMP(const Canvas& Cv, const std::string& Path)
{
    std::vector<Uint8> Rows(Cv.rgb.size());
    for (size_t I = 0; I < Rows.size(); I++)
        Rows[I] = ToByte(Cv.rgb[I]);
    return SaveBMP(Path, Cv.w, Cv.h, 24, Rows, {});
}

bool SaveIndexedGIF(const std::string& Path, int W, int H, const std::vector<GifByteType>& Pixels,
    const std::vector<GifColorType>& Palette)
{
    int Error = 0;
    GifFileType* Gif = EGifOpenFileName(Path.c_str(), false, &Error);
    if (Gif == NULL) {
        fprintf(stderr, "makeassets: cannot write %s: %s\n", Path.c_str(), GifErrorString(Error));
        return false;
    }
    ColorMapObject* Map = GifMakeMapObject(256, Palette.data());
    bool Ok = EGifPutScreenDesc(Gif, W, H, 8, 0, Map) == GIF_OK
        && EGifPutImageDesc(Gif, 0, 0, W, H, false, NULL) == GIF_OK;
    for (int Y = 0; Ok && Y < H; Y++)
        Ok = EGifPutLine(Gif, (GifPixelType*)&Pixels[(size_t)Y * W], W) == GIF_OK;
    GifFreeMapObject(Map);
    if (EGifCloseFile(Gif, &Error) != GIF_OK)
        Ok = false;
    chmod(Path.c_str(), 0644); // giflib creates the file private to its owner
    if (!Ok)
        fprintf(stderr, "makeassets: cannot encode %s\n", Path.c_str());
    return Ok;
}

} // namespace

// "PELLACORN" in a warm vertical gradient over a near-black drop shadow.
// A GIF holds 256 colours, so the palette is built from the design itself:
// rows of the gradient times levels of coverage, plus black and the shadow.
bool WriteWordmarkGIF(const std::string& Path, const std::string& FontFile)
{
    const int W = 300, H = 80, Bands = 28, Levels = 9;
    const Colour Top = {1.0f, 0.93f, 0.45f}, Middle = {1.0f, 0.62f, 0.12f},
                 Bottom = {0.92f, 0.16f, 0.30f}, Shadow = {0.10f, 0.05f, 0.14f};
    auto GradientAt = [&](float T) {
        return T < 0.5f ? Mix(Top, Middle, T * 2.0f) : Mix(Middle, Bottom, T * 2.0f - 1.0f);
    };

    std::vector<GifColorType> Palette(256, GifColorType {0, 0, 0});
    Palette[1] = {ToByte(Shadow.r), ToByte(Shadow.g), ToByte(Shadow.b)};
    for (int B = 0; B < Bands; B++)
        for (int L = 1; L <= Levels; L++) {
            Colour C = GradientAt(B / (Bands - 1.0f));
            float K = L / (float)Levels;
            // Never pure black: that would punch a hole in the letter.
            Palette[2 + B * Levels + (L - 1)] = {std::max<Uint8>(1, ToByte(C.r * K)),
                std::max<Uint8>(1, ToByte(C.g * K)), std::max<Uint8>(1, ToByte(C.b * K))};
        }

    Mask Text = RenderText(FontFile, 44, "PELLACORN");
    if (Text.w == 0)
        return false;
    int X0, Y0, X1, Y1;
    InkBox(Text, &X0, &Y0, &X1, &Y1);
    const int TextTop = 8, TextHeight = Y1 - Y0 + 1;
    int OX = (W - (X1 - X0 + 1)) / 2 - X0, OY = TextTop - Y0;
    auto Ink = [&](int X, int Y) {
        int TX = X - OX, TY = Y - OY;
        if (TX < 0 || TY < 0 || TX >= Text.w || TY >= Text.h)
            return 0.0f;
        return Text.a[(size_t)TY * Text.w + TX];
    };

    std::vector<GifByteType> Pixels((size_t)W * H, 0);
    const int BarTop = TextTop + TextHeight + 7, BarLeft = 26, BarRight = W - 26;
    for (int Y = 0; Y < H; Y++)
        for (int X = 0; X < W; X++) {
            float Cover = Ink(X, Y);
            float T = (Y - TextTop) / (float)(TextHeight - 1);
            // An underline bar, tapered at both ends, in the bottom colour.
            if (Y >= BarTop && Y < BarTop + 4 && X >= BarLeft && X < BarRight) {
                float Edge = std::min(X - BarLeft, BarRight - 1 - X) / 24.0f;
                Cover = std::max(Cover, std::min(1.0f, Edge + 0.2f));
                T = 1.0f;
            }
            int Level = (int)lroundf(Cover * Levels);
            GifByteType& P = Pixels[(size_t)Y * W + X];
            if (Level > 0) {
                int Band = std::clamp((int)lroundf(T * (Bands - 1)), 0, Bands - 1);
                P = (GifByteType)(2 + Band * Levels + (Level - 1));
            } else if (Ink(X - 3, Y - 3) > 0.5f) {
                P = 1;
            }
        }
    return SaveIndexedGIF(Path, W, H, Pixels, Palette);
}

// A title strip: a line of text in a cyan-to-blue sweep between two rules.
bool WriteTitleStripBMP(const std::string& Path, const std::string& FontFile)
{
    Canvas Cv = MakeCanvas(360, 44);
    const Colour Left = {0.35f, 1.0f, 0.95f}, Right = {0.30f, 0.45f, 1.0f};
    auto Sweep = [&](int X, int) { return Mix(Left, Right, X / (Cv.w - 1.0f)); };
    const Colour Shade = {0.02f, 0.06f, 0.12f};
    if (!StampText(Cv, FontFile, 21, "FIXED-FUNCTION FOREVER", Cv.w / 2.0f, Cv.h / 2.0f, 2, 2,
            [&](int, int) { return Shade; })
        || !StampText(
            Cv, FontFile, 21, "FIXED-FUNCTION FOREVER", Cv.w / 2.0f, Cv.h / 2.0f, 0, 0, Sweep))
        return false;
    for (int X = 4; X < Cv.w - 4; X++) {
        float Fade = std::min(1.0f, std::min(X - 4, Cv.w - 5 - X) / 40.0f);
        for (int Y : {1, 2, Cv.h - 3, Cv.h - 2})
            Blend(Cv, X, Y, Sweep(X, Y), Fade);
    }
    return SaveCanvasBMP(Cv, Path);
}

// A round emblem: a ring shading from magenta to violet, a near-black disc,
// a dotted orbit and the letters "QN".
bool WriteEmblemBMP(const std::string& Path, const std::string& FontFile)
{
    Canvas Cv = MakeCanvas(130, 130);
    const float C = 65.0f;
    auto Radius = [&](float X, float Y) { return hypotf(X - C, Y - C); };
    const Colour Magenta = {1.0f, 0.25f, 0.75f}, Violet = {0.55f, 0.30f, 1.0f},
                 Disc = {0.05f, 0.04f, 0.13f}, Dot = {0.45f, 0.95f, 1.0f};
    FillShape(
        Cv, [&](float X, float Y) { return Radius(X, Y) < 62.0f; },
        [&](int X, int Y) { return Mix(Magenta, Violet, (X + Y) / 258.0f); });
    FillShape(
        Cv, [&](float X, float Y) { return Radius(X, Y) < 50.0f; }, [&](int, int) { return Disc; });
    FillShape(
        Cv,
        [&](float X, float Y) {
            for (int K = 0; K < 12; K++) {
                float A = K * 3.14159265f / 6.0f;
                if (hypotf(X - (C + 41.0f * cosf(A)), Y - (C + 41.0f * sinf(A))) < 2.6f)
                    return true;
            }
            return false;
        },
        [&](int, int) { return Dot; });
    auto Letters = [&](int, int Y) {
        return Mix(Colour {1, 1, 1}, Colour {1.0f, 0.85f, 0.4f}, (Y - 45) / 40.0f);
    };
    if (!StampText(Cv, FontFile, 40, "QN", C, C, 0, 0, Letters))
        return false;
    return SaveCanvasBMP(Cv, Path);
}

// A 32 x 32 palettised icon: the demo's figure as one triangle with a red
// apex and green and blue base corners. Index 0, the top-left pixel, is the
// background that the window icon's mask hides.
bool WriteIconBMP(const std::string& Path)
{
    const int N = 32;
    std::vector<Uint8> Pixels((size_t)N * N, 0);
    const std::vector<SDL_Color> Colours = {{0, 0, 0, 0}, {235, 40, 40, 0}, {40, 210, 70, 0},
        {50, 90, 240, 0}, {250, 250, 250, 0}, {255, 205, 60, 0}};
    const float AX = 16, AY = 2, BX = 2, BY = 29, CX = 29, CY = 29;
    for (int Y = 0; Y < N; Y++) {
        Uint8* Row = &Pixels[(size_t)Y * N];
        for (int X = 0; X < N; X++) {
            float PX = X + 0.5f, PY = Y + 0.5f;
            // Barycentric weights of the three corners.
            float D = (BY - CY) * (AX - CX) + (CX - BX) * (AY - CY);
            float WA = ((BY - CY) * (PX - CX) + (CX - BX) * (PY - CY)) / D;
            float WB = ((CY - AY) * (PX - CX) + (AX - CX) * (PY - CY)) / D;
            float WC = 1.0f - WA - WB;
            Uint8 Index = 0;
            if (WA >= 0 && WB >= 0 && WC >= 0) {
                if (std::min({WA, WB, WC}) < 0.06f)
                    Index = 4;
                else
                    Index = WA >= WB && WA >= WC ? 1 : (WB >= WC ? 2 : 3);
            }
            if (X >= 14 && X <= 17 && Y >= 17 && Y <= 20)
                Index = 5;
            Row[X] = Index;
        }
    }
    return SaveBMP(Path, N, N, 8, Pixels, Colours);
}

// The figure of the icon, at any size: a triangle shaded from a red apex to
// green and blue base corners, as the demo draws it, with a white rim.
// Pixels outside are fully transparent; 4 x 4 samples smooth the edges.
bool WriteIconPNG(const std::string& Path, int Size)
{
    std::vector<Uint8> Rgba((size_t)Size * Size * 4, 0);
    const float AX = 0.5f, AY = 0.06f, BX = 0.06f, BY = 0.92f, CX = 0.94f, CY = 0.92f;
    const float D = (BY - CY) * (AX - CX) + (CX - BX) * (AY - CY);
    for (int Y = 0; Y < Size; Y++)
        for (int X = 0; X < Size; X++) {
            float R = 0, G = 0, B = 0, A = 0;
            for (int S = 0; S < 16; S++) {
                float PX = (X + (S % 4 + 0.5f) / 4) / Size, PY = (Y + (S / 4 + 0.5f) / 4) / Size;
                float WA = ((BY - CY) * (PX - CX) + (CX - BX) * (PY - CY)) / D;
                float WB = ((CY - AY) * (PX - CX) + (AX - CX) * (PY - CY)) / D;
                float WC = 1 - WA - WB;
                if (WA < 0 || WB < 0 || WC < 0)
                    continue;
                bool Rim = std::min({WA, WB, WC}) < 0.045f;
                R += Rim ? 1 : WA, G += Rim ? 1 : WB, B += Rim ? 1 : WC, A += 1;
            }
            Uint8* P = &Rgba[((size_t)Y * Size + X) * 4];
            if (A > 0) // colour of the covered samples, coverage as alpha
                P[0] = ToByte(R / A), P[1] = ToByte(G / A), P[2] = ToByte(B / A);
            P[3] = ToByte(A / 16);
        }

    FILE* F = fopen(Path.c_str(), "wb");
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop Info = Png ? png_create_info_struct(Png) : NULL;
    if (F == NULL || Info == NULL || setjmp(png_jmpbuf(Png))) {
        fprintf(stderr, "makeassets: cannot write %s\n", Path.c_str());
        png_destroy_write_struct(&Png, &Info);
        if (F != NULL)
            fclose(F);
        return false;
    }
    png_init_io(Png, F);
    png_set_IHDR(Png, Info, Size, Size, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(Png, Info);
    for (int Y = 0; Y < Size; Y++)
        png_write_row(Png, &Rgba[(size_t)Y * Size * 4]);
    png_write_end(Png, NULL);
    png_destroy_write_struct(&Png, &Info);
    return fclose(F) == 0;
}
