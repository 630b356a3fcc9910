// Where a loaded scene library keeps its variables, read from its ELF
// symbol table, and the copy of their values from one version to the next.
#include "state.h"

#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

// Writable data that the program owns: .data, .bss and their numbered or
// named parts, but not the relocated read-only data that shares the prefix.
static bool HoldsVariables(const ElfW(Shdr) & Section, const char* Name)
{
    if ((Section.sh_flags & (SHF_WRITE | SHF_ALLOC)) != (SHF_WRITE | SHF_ALLOC))
        return false;
    if (Section.sh_flags & SHF_TLS)
        return false;
    if (strncmp(Name, ".data.rel.ro", 12) == 0)
        return false;
    return strncmp(Name, ".data", 5) == 0 || strncmp(Name, ".bss", 4) == 0;
}

static bool ReadSymbols(const unsigned char* Image, size_t Length, size_t Bias,
    std::vector<LiveVariable>* Variables, std::string* Error)
{
    const ElfW(Ehdr)* Header = (const ElfW(Ehdr)*)Image;
    if (Length < sizeof *Header || memcmp(Header->e_ident, ELFMAG, SELFMAG) != 0
        || Header->e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32)
        || Header->e_type != ET_DYN || Header->e_shentsize != sizeof(ElfW(Shdr))) {
        *Error = "not a shared library of this machine";
        return false;
    }
    // Offsets and sizes come from the file: compared by subtraction, so that
    // a damaged one cannot wrap around past the end of the image.
    auto Within = [&](size_t Offset, size_t Size, size_t Alignment) {
        return Offset <= Length && Size <= Length - Offset && Offset % Alignment == 0;
    };
    if (!Within(Header->e_shoff, (size_t)Header->e_shnum * sizeof(ElfW(Shdr)), alignof(ElfW(Shdr)))
        || Header->e_shstrndx >= Header->e_shnum) {
        *Error = "a damaged section table";
        return false;
    }
    const ElfW(Shdr)* Sections = (const ElfW(Shdr)*)(Image + Header->e_shoff);
    // A table read from the file must lie in it (which no .bss does).
    auto Fits = [&](const ElfW(Shdr) & S, size_t Alignment) {
        return S.sh_type != SHT_NOBITS && Within(S.sh_offset, S.sh_size, Alignment);
    };
    const ElfW(Shdr)& Names = Sections[Header->e_shstrndx];
    for (int I = 0; I < Header->e_shnum; I++) {
        const ElfW(Shdr)& Table = Sections[I];
        if (Table.sh_type != SHT_SYMTAB)
            continue;
        if (Table.sh_link >= Header->e_shnum || !Fits(Table, alignof(ElfW(Sym)))
            || !Fits(Sections[Table.sh_link], 1) || !Fits(Names, 1)
            || Table.sh_entsize != sizeof(ElfW(Sym))) {
            *Error = "a damaged symbol table";
            return false;
        }
        const ElfW(Shdr)& Strings = Sections[Table.sh_link];
        const char* Text = (const char*)Image + Strings.sh_offset;
        const ElfW(Sym)* Symbols = (const ElfW(Sym)*)(Image + Table.sh_offset);
        std::string File;
        for (size_t K = 0; K < Table.sh_size / sizeof(ElfW(Sym)); K++) {
            const ElfW(Sym)& Symbol = Symbols[K];
            if (Symbol.st_name >= Strings.sh_size)
                continue;
            const char* Name = Text + Symbol.st_name;
            if (memchr(Name, '\0', Strings.sh_size - Symbol.st_name) == NULL)
                continue;
            // The locals that follow a file symbol are that file's statics.
            if (ELF64_ST_TYPE(Symbol.st_info) == STT_FILE)
                File = Name;
            if (ELF64_ST_TYPE(Symbol.st_info) != STT_OBJECT || Symbol.st_size == 0
                || Symbol.st_shndx == SHN_UNDEF || Symbol.st_shndx >= Header->e_shnum
                || strncmp(Name, "__", 2) == 0)
                continue;
            const ElfW(Shdr)& Home = Sections[Symbol.st_shndx];
            if (Home.sh_name >= Names.sh_size)
                continue;
            const char* HomeName = (const char*)Image + Names.sh_offset + Home.sh_name;
            // A variable outside its section would have its carry write
            // where no variable lies.
            if (memchr(HomeName, '\0', Names.sh_size - Home.sh_name) == NULL
                || !HoldsVariables(Home, HomeName) || Symbol.st_value < Home.sh_addr
                || Symbol.st_size > Home.sh_size
                || Symbol.st_value - Home.sh_addr > Home.sh_size - Symbol.st_size)
                continue;
            bool Local = ELF64_ST_BIND(Symbol.st_info) == STB_LOCAL;
            Variables->push_back({Local ? File + ":" + Name : std::string(Name),
                (void*)(Bias + Symbol.st_value), (size_t)Symbol.st_size});
        }
        return true;
    }
    *Error = "no symbol table (was it stripped?)";
    return false;
}

bool ReadLiveVariables(
    const char* File, size_t Bias, std::vector<LiveVariable>* Variables, std::string* Error)
{
    int Descriptor = open(File, O_RDONLY | O_CLOEXEC);
    struct stat Status;
    if (Descriptor < 0 || fstat(Descriptor, &Status) != 0) {
        *Error = strerror(errno);
        if (Descriptor >= 0)
            close(Descriptor);
        return false;
    }
    // An empty file cannot be mapped, and is no library either.
    if (Status.st_size == 0) {
        close(Descriptor);
        *Error = "not a shared library of this machine";
        return false;
    }
    void* Image = mmap(NULL, (size_t)Status.st_size, PROT_READ, MAP_PRIVATE, Descriptor, 0);
    close(Descriptor);
    if (Image == MAP_FAILED) {
        *Error = strerror(errno);
        return false;
    }
    Variables->clear();
    bool Read
        = ReadSymbols((const unsigned char*)Image, (size_t)Status.st_size, Bias, Variables, Error);
    munmap(Image, (size_t)Status.st_size);
    return Read;
}

int CarryLiveVariables(const std::vector<LiveVariable>& From, const std::vector<LiveVariable>& To,
    std::vector<std::string>* Resized)
{
    // A name found twice on either side is ambiguous and so left alone.
    std::map<std::string, const LiveVariable*> Old;
    std::map<std::string, int> OldCount, NewCount;
    for (const LiveVariable& V : From) {
        Old[V.Name] = &V;
        OldCount[V.Name]++;
    }
    for (const LiveVariable& V : To)
        NewCount[V.Name]++;
    int Copied = 0;
    for (const LiveVariable& V : To) {
        auto Match = Old.find(V.Name);
        if (Match == Old.end() || OldCount[V.Name] != 1 || NewCount[V.Name] != 1)
            continue;
        if (Match->second->Size != V.Size) {
            if (Resized != NULL)
                Resized->push_back(V.Name);
            continue;
        }
        memcpy(V.Address, Match->second->Address, V.Size);
        Copied++;
    }
    return Copied;
}
