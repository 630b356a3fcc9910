// What a function of a scene does, read from the relocatable objects its
// library is linked from: the live program runs a new version's InitGL
// again only when that changed.
#ifndef PELLACORN_LIVECODE_H
#define PELLACORN_LIVECODE_H

#include <string>

// A fingerprint of the function Symbol (its mangled name) as compiled into
// the relocatable objects Objects (a null-terminated list of paths): its
// bytes and what each of its relocations reaches, the functions it calls
// with their own code in turn, the constants it reads with their bytes, the
// variables and the functions of other libraries by name. Equal prints are
// the same code; an edit elsewhere in the sources (other functions, their
// constants, functions or variables added before it) leaves the print as
// it was. For x86-64 objects compiled with -ffunction-sections, so that
// every call and every reference to data is a relocation. False, with
// Error set, if an object cannot be read or parsed or none defines Symbol.
bool FingerprintFunction(
    const char* const* Objects, const char* Symbol, std::string* Print, std::string* Error);

#endif
