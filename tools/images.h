// The logos and the icon: drawn here, written with our BMP writer and giflib.
#ifndef PELLACORN_TOOLS_IMAGES_H
#define PELLACORN_TOOLS_IMAGES_H

#include <string>

// Each writes one file and returns false after printing why it could not.
bool WriteWordmarkGIF(const std::string& Path, const std::string& FontFile);
bool WriteTitleStripBMP(const std::string& Path, const std::string& FontFile);
bool WriteEmblemBMP(const std::string& Path, const std::string& FontFile);
bool WriteIconBMP(const std::string& Path);
// The desktop icon: the same design, smooth-shaded, Size x Size with alpha.
bool WriteIconPNG(const std::string& Path, int Size);

#endif
