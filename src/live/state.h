// The live program's memory of a scene version: where each variable with
// static storage of a loaded scene library lies, so that a new version can
// start from the values of the one it replaces.
#ifndef PELLACORN_LIVESTATE_H
#define PELLACORN_LIVESTATE_H

#include <stddef.h>

#include <string>
#include <vector>

// One variable: its name (a file-level or function-level static is named
// with its source file, so equal names in two files stay apart), its
// address in the loaded library and its size in bytes.
struct LiveVariable {
    std::string Name;
    void* Address;
    size_t Size;
};

// Read the variables of the library File, loaded Bias bytes from the
// addresses it was linked at (its link map's l_addr), from its symbol
// table: the objects in its writable data, but for the implementation's
// own (names that start with "__"). False, with Error set, when the file is
// no ELF library of this machine or has no symbol table.
bool ReadLiveVariables(
    const char* File, size_t Bias, std::vector<LiveVariable>* Variables, std::string* Error);

// Copy into each variable of To the value of the variable of From with the
// same name and size; the others keep what the new code set. Returns how
// many were copied; Resized, if given, gets the names found once in each
// whose size changed.
int CarryLiveVariables(const std::vector<LiveVariable>& From, const std::vector<LiveVariable>& To,
    std::vector<std::string>* Resized = NULL);

#endif
