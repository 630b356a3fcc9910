// The window icon in the browser: the same file, checked as on the desktop,
// shown as the page's icon. The browser decodes a BMP to RGBA, so whether
// it had a palette cannot be asked; its transparency is left to the file.
#include <emscripten.h>

#include "error.h"
#include "main.h"
#include "shell/iconfile.h"

EM_JS(void, ShowPageIconJS, (const char* File), {
    var Bytes = FS.readFile(UTF8ToString(File));
    var Link = document.querySelector("link[rel='icon']") || document.createElement('link');
    Link.rel = 'icon';
    Link.href = URL.createObjectURL(new Blob([Bytes], {type: 'image/bmp'}));
    document.head.appendChild(Link);
});

SDL_Surface* SetUpIcon(char* File)
{
    SDL_Surface* Icon = LoadIconFile(File);
    if (Icon == NULL)
        return NULL;
    ShowPageIconJS(File);
    return Icon;
}
