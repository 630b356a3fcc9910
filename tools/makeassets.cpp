// makeassets: writes Pellacorn's five asset files, the same bytes on every
// run. Usage: makeassets OUTDIR SCORE FONT
//   OUTDIR/Zarn_Icon.bmp and OUTDIR/data/{logo.gif, SDL_Title.bmp,
//   QN_Title.bmp, lktheme.mod}; SCORE is the tune's text score and FONT a
//   TrueType font for the lettering.
// Or: makeassets --icon-png SIZE FILE, the desktop icon for installing.
#include <SDL.h>
#include <SDL_ttf.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "images.h"
#include "module.h"
#include "score.h"

static bool WriteTune(const std::string& ScoreFile, const std::string& Path)
{
    std::ifstream In(ScoreFile);
    if (!In) {
        fprintf(stderr, "makeassets: cannot read %s\n", ScoreFile.c_str());
        return false;
    }
    std::stringstream Text;
    Text << In.rdbuf();
    Song S;
    std::string Error;
    if (!ParseScore(Text.str(), ScoreFile, &S, &Error)) {
        fprintf(stderr, "%s\n", Error.c_str());
        return false;
    }
    std::vector<uint8_t> Bytes = BuildModule(S);
    std::ofstream Out(Path, std::ios::binary);
    Out.write((const char*)Bytes.data(), (std::streamsize)Bytes.size());
    if (!Out) {
        fprintf(stderr, "makeassets: cannot write %s\n", Path.c_str());
        return false;
    }
    return true;
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--icon-png") {
        int Size = atoi(argv[2]);
        if (Size < 8 || Size > 1024) {
            fprintf(stderr, "makeassets: an icon size from 8 to 1024, please\n");
            return 2;
        }
        return WriteIconPNG(argv[3], Size) ? 0 : 1;
    }
    if (argc != 4) {
        fprintf(stderr,
            "usage: makeassets OUTDIR SCORE FONT\n"
            "       makeassets --icon-png SIZE FILE\n");
        return 2;
    }
    std::string Dir = argv[1], Score = argv[2], Font = argv[3];
    mkdir(Dir.c_str(), 0755);
    mkdir((Dir + "/data").c_str(), 0755);

    // The tune first: a bad score is the likeliest mistake, and needs no SDL.
    if (!WriteTune(Score, Dir + "/data/lktheme.mod"))
        return 1;
    if (TTF_Init() != 0) {
        fprintf(stderr, "makeassets: %s\n", TTF_GetError());
        return 1;
    }
    bool Ok = WriteWordmarkGIF(Dir + "/data/logo.gif", Font)
        && WriteTitleStripBMP(Dir + "/data/SDL_Title.bmp", Font)
        && WriteEmblemBMP(Dir + "/data/QN_Title.bmp", Font) && WriteIconBMP(Dir + "/Zarn_Icon.bmp");
    TTF_Quit();
    return Ok ? 0 : 1;
}
