// The fingerprint of a scene function, read from the ELF relocatable
// objects of the scene's library: its bytes, and for each relocation in it
// what it reaches, described so that where other code and data happen to
// lie in the file never gets in.
#include "code.h"

#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

// One object file, read whole, its tables checked once so that the rest
// can index them freely.
struct CodeObject {
    std::string Name; // without its folder, for errors
    std::vector<unsigned char> Image;
    const ElfW(Shdr) * Sections;
    size_t SectionCount;
    const char* SectionNames;
    const ElfW(Sym) * Symbols;
    size_t SymbolCount;
    const char* Strings;
    std::vector<size_t> Relocations; // each section's table of relocations, or 0
    std::map<size_t, std::vector<long long>> Boundaries; // of plain constant sections, once asked
};

// Where a name with linkage is defined: which object, which symbol of it.
struct Definition {
    size_t Object, Symbol;
};

// A function or constant of the print, numbered in the order first reached.
struct Piece {
    size_t Object, Section;
    ElfW(Addr) Start, Size;
    std::string Name;
};

struct Fingerprint {
    std::vector<CodeObject> Objects;
    std::map<std::string, Definition> Globals;
    std::map<std::tuple<size_t, size_t, ElfW(Addr)>, size_t> Numbers;
    std::vector<Piece> Pieces;
    std::string* Print;
};

// More than this is no scene's start-up code but a damaged or odd file.
static const size_t MostPrinted = 64 << 20;

// Offsets and sizes come from the file: compared by subtraction, so that a
// damaged one cannot wrap around past the end of the image.
static bool Within(size_t Length, size_t Offset, size_t Size, size_t Alignment)
{
    return Offset <= Length && Size <= Length - Offset && Offset % Alignment == 0;
}

static bool NameWithin(const char* Table, size_t TableSize, size_t At)
{
    return At < TableSize && memchr(Table + At, '\0', TableSize - At) != NULL;
}

static bool ParseObject(CodeObject* Object, std::string* Error)
{
    const unsigned char* Image = Object->Image.data();
    size_t Length = Object->Image.size();
    auto Refuse = [&](const char* Why) {
        *Error = Object->Name + ": " + Why;
        return false;
    };
    const ElfW(Ehdr)* Header = (const ElfW(Ehdr)*)Image;
    if (Length < sizeof *Header || memcmp(Header->e_ident, ELFMAG, SELFMAG) != 0
        || Header->e_ident[EI_CLASS] != ELFCLASS64 || Header->e_ident[EI_DATA] != ELFDATA2LSB
        || Header->e_type != ET_REL || Header->e_machine != EM_X86_64
        || Header->e_shentsize != sizeof(ElfW(Shdr)))
        return Refuse("not a relocatable object of this machine");
    size_t Count = Header->e_shnum;
    if (!Within(Length, Header->e_shoff, Count * sizeof(ElfW(Shdr)), alignof(ElfW(Shdr)))
        || Header->e_shstrndx >= Count)
        return Refuse("a damaged section table");
    const ElfW(Shdr)* Sections = (const ElfW(Shdr)*)(Image + Header->e_shoff);
    // Every section's bytes lie in the file (which no .bss has), and its
    // name in the table of names.
    for (size_t I = 0; I < Count; I++)
        if (Sections[I].sh_type != SHT_NOBITS
            && !Within(Length, Sections[I].sh_offset, Sections[I].sh_size, 1))
            return Refuse("a damaged section table");
    const ElfW(Shdr)& Names = Sections[Header->e_shstrndx];
    if (Names.sh_type == SHT_NOBITS)
        return Refuse("a damaged section table");
    const char* NameText = (const char*)Image + Names.sh_offset;
    for (size_t I = 0; I < Count; I++)
        if (!NameWithin(NameText, Names.sh_size, Sections[I].sh_name))
            return Refuse("a damaged section table");

    size_t Table = 0;
    while (Table < Count && Sections[Table].sh_type != SHT_SYMTAB)
        Table++;
    if (Table == Count)
        return Refuse("no symbol table (was it stripped?)");
    const ElfW(Shdr)& SymbolTable = Sections[Table];
    if (SymbolTable.sh_offset % alignof(ElfW(Sym)) != 0
        || SymbolTable.sh_entsize != sizeof(ElfW(Sym)) || SymbolTable.sh_link >= Count
        || Sections[SymbolTable.sh_link].sh_type == SHT_NOBITS)
        return Refuse("a damaged symbol table");
    const ElfW(Shdr)& StringTable = Sections[SymbolTable.sh_link];
    const char* Strings = (const char*)Image + StringTable.sh_offset;
    const ElfW(Sym)* Symbols = (const ElfW(Sym)*)(Image + SymbolTable.sh_offset);
    size_t SymbolCount = SymbolTable.sh_size / sizeof(ElfW(Sym));
    // A symbol in a section lies in it, so that its bytes can be read.
    for (size_t K = 0; K < SymbolCount; K++) {
        const ElfW(Sym)& S = Symbols[K];
        if (!NameWithin(Strings, StringTable.sh_size, S.st_name))
            return Refuse("a damaged symbol table");
        if (S.st_shndx == SHN_UNDEF || S.st_shndx >= SHN_LORESERVE)
            continue;
        if (S.st_shndx >= Count || S.st_value > Sections[S.st_shndx].sh_size
            || S.st_size > Sections[S.st_shndx].sh_size - S.st_value)
            return Refuse("a damaged symbol table");
    }

    Object->Relocations.assign(Count, 0);
    for (size_t I = 0; I < Count; I++) {
        const ElfW(Shdr)& Relocations = Sections[I];
        // Relocations without addends are not of this machine's objects.
        if (Relocations.sh_type == SHT_REL)
            return Refuse("a damaged relocation table");
        if (Relocations.sh_type != SHT_RELA)
            continue;
        size_t Target = Relocations.sh_info;
        if (Relocations.sh_offset % alignof(ElfW(Rela)) != 0
            || Relocations.sh_entsize != sizeof(ElfW(Rela)) || Relocations.sh_link != Table
            || Target == 0 || Target >= Count || Object->Relocations[Target] != 0
            || Sections[Target].sh_type == SHT_NOBITS)
            return Refuse("a damaged relocation table");
        const ElfW(Rela)* Entries = (const ElfW(Rela)*)(Image + Relocations.sh_offset);
        for (size_t K = 0; K < Relocations.sh_size / sizeof(ElfW(Rela)); K++)
            if (ELF64_R_SYM(Entries[K].r_info) >= SymbolCount
                || Entries[K].r_offset >= Sections[Target].sh_size)
                return Refuse("a damaged relocation table");
        Object->Relocations[Target] = I;
    }
    Object->Sections = Sections;
    Object->SectionCount = Count;
    Object->SectionNames = NameText;
    Object->Symbols = Symbols;
    Object->SymbolCount = SymbolCount;
    Object->Strings = Strings;
    return true;
}

static bool ReadObject(const char* Path, CodeObject* Object, std::string* Error)
{
    const char* Slash = strrchr(Path, '/');
    Object->Name = Slash != NULL ? Slash + 1 : Path;
    int Descriptor = open(Path, O_RDONLY | O_CLOEXEC);
    if (Descriptor < 0) {
        *Error = Object->Name + ": " + strerror(errno);
        return false;
    }
    std::vector<unsigned char>& Image = Object->Image;
    ssize_t Count;
    do {
        size_t Had = Image.size();
        Image.resize(Had + 65536);
        Count = read(Descriptor, Image.data() + Had, 65536);
        Image.resize(Had + (Count > 0 ? (size_t)Count : 0));
    } while (Count > 0 || (Count < 0 && errno == EINTR));
    int Failure = Count < 0 ? errno : 0;
    close(Descriptor);
    if (Failure != 0) {
        *Error = Object->Name + ": " + strerror(Failure);
        return false;
    }
    return ParseObject(Object, Error);
}

// ---- What a section holds ----

enum Holding { Code, Variables, Constants, Other };

static const char* SectionName(const CodeObject& Object, size_t Section)
{
    return Object.SectionNames + Object.Sections[Section].sh_name;
}

static const unsigned char* SectionBytes(const CodeObject& Object, size_t Section)
{
    const ElfW(Shdr)& S = Object.Sections[Section];
    return S.sh_type == SHT_NOBITS ? NULL : Object.Image.data() + S.sh_offset;
}

// Relocated read-only data (vtables, tables of strings) is written once,
// before any code runs, and so holds constants, as state.cpp has it too.
static Holding HoldingOf(const CodeObject& Object, size_t Section)
{
    const ElfW(Shdr)& S = Object.Sections[Section];
    if (!(S.sh_flags & SHF_ALLOC))
        return Other;
    if (S.sh_flags & SHF_EXECINSTR)
        return Code;
    if ((S.sh_flags & SHF_WRITE) && strncmp(SectionName(Object, Section), ".data.rel.ro", 12) != 0)
        return Variables;
    return Constants;
}

// The compilers' own labels (.LC0, .L.str.2) are numbered through the file,
// so that their names change with any constant added before.
static bool Named(const char* Name)
{
    return Name[0] != '\0' && strncmp(Name, ".L", 2) != 0;
}

// ---- Where a relocation points ----

static bool PcRelative(unsigned Type)
{
    switch (Type) {
    case R_X86_64_PC32:
    case R_X86_64_PLT32:
    case R_X86_64_GOTPCREL:
    case R_X86_64_GOTPCRELX:
    case R_X86_64_REX_GOTPCRELX:
    case R_X86_64_GOTPC32:
    case R_X86_64_TLSGD:
    case R_X86_64_TLSLD:
    case R_X86_64_GOTTPOFF:
    case R_X86_64_GOTPC32_TLSDESC:
        return true;
    }
    return false;
}

// How many bytes the relocated field at Type takes.
static size_t FieldSize(unsigned Type)
{
    switch (Type) {
    case R_X86_64_64:
    case R_X86_64_PC64:
    case R_X86_64_DTPMOD64:
    case R_X86_64_DTPOFF64:
    case R_X86_64_TPOFF64:
        return 8;
    }
    return 4;
}

// The bytes of immediate after the displacement at At in Code, which make
// "cmpl $3, Frames(%rip)" point 5 bytes before Frames, "movl $7,
// Frames(%rip)" 8. Read backwards from the ModRM byte of a RIP-relative
// operand; a call or jump has none. A guess wrong by a byte only moves a
// reference into a section to a neighbour, never out of the file.
static int ImmediateSize(const unsigned char* Code, size_t At)
{
    if (At < 2 || (Code[At - 1] & 0xc7) != 0x05)
        return 0;
    unsigned char Operation = Code[At - 2], Register = (Code[At - 1] >> 3) & 7;
    if (At >= 4 && Code[At - 4] == 0x0f && Code[At - 3] == 0x3a)
        return 1;
    if (At >= 3 && Code[At - 3] == 0x0f) {
        switch (Operation) {
        case 0x70: // pshufd and its shifts
        case 0x71:
        case 0x72:
        case 0x73:
        case 0xa4: // shld
        case 0xac: // shrd
        case 0xba: // bt
        case 0xc2: // cmpps
        case 0xc4: // pinsrw
        case 0xc5:
        case 0xc6: // shufps
            return 1;
        }
        return 0;
    }
    // A REX.W prefix keeps a 4-byte immediate, a 0x66 prefix alone halves it.
    bool Wide = false, Half = false;
    size_t K = At - 2;
    if (K > 0 && (Code[K - 1] & 0xf0) == 0x40)
        Wide = Code[--K] & 8;
    for (int Prefixes = 0; K > 0 && Prefixes < 4 && Code[K - 1] == 0x66; Prefixes++, K--)
        Half = true;
    int Full = Half && !Wide ? 2 : 4;
    switch (Operation) {
    case 0x6b:
    case 0x80:
    case 0x82:
    case 0x83:
    case 0xc0:
    case 0xc1:
    case 0xc6:
        return 1;
    case 0x69:
    case 0x81:
    case 0xc7:
        return Full;
    case 0xf6:
        return Register < 2 ? 1 : 0;
    case 0xf7:
        return Register < 2 ? Full : 0;
    }
    return 0;
}

// What a relocation of Section adds to its symbol and addend to name the
// place it reaches: a PC-relative field in code counts from the end of its
// instruction.
static long long Reach(const CodeObject& Object, size_t Section, const ElfW(Rela) & Relocation)
{
    const unsigned char* Bytes = SectionBytes(Object, Section);
    if (!(Object.Sections[Section].sh_flags & SHF_EXECINSTR) || Bytes == NULL
        || !PcRelative(ELF64_R_TYPE(Relocation.r_info)))
        return 0;
    return 4 + ImmediateSize(Bytes, Relocation.r_offset);
}

static const ElfW(Rela) * RelocationTable(const CodeObject& Object, size_t Section, size_t* Count)
{
    const ElfW(Shdr)& Table = Object.Sections[Object.Relocations[Section]];
    *Count = Object.Relocations[Section] == 0 ? 0 : Table.sh_size / sizeof(ElfW(Rela));
    return (const ElfW(Rela)*)(Object.Image.data() + Table.sh_offset);
}

// The relocations of Section in [Start, End), in the order of their places.
static std::vector<const ElfW(Rela) *> RelocationsIn(
    const CodeObject& Object, size_t Section, ElfW(Addr) Start, ElfW(Addr) End)
{
    size_t Count;
    const ElfW(Rela)* Table = RelocationTable(Object, Section, &Count);
    std::vector<const ElfW(Rela)*> In;
    for (size_t K = 0; K < Count; K++)
        if (Table[K].r_offset >= Start && Table[K].r_offset < End)
            In.push_back(&Table[K]);
    std::stable_sort(In.begin(), In.end(),
        [](const ElfW(Rela) * A, const ElfW(Rela) * B) { return A->r_offset < B->r_offset; });
    return In;
}

// Where the constants of a plain section may start: every place the
// object's relocations point at in it, every symbol's start and end, and
// its end.
static const std::vector<long long>& BoundariesOf(CodeObject* Object, size_t Section)
{
    auto Known = Object->Boundaries.find(Section);
    if (Known != Object->Boundaries.end())
        return Known->second;
    std::vector<long long>& Boundaries = Object->Boundaries[Section];
    for (size_t K = 0; K < Object->SymbolCount; K++) {
        const ElfW(Sym)& S = Object->Symbols[K];
        if (S.st_shndx != Section)
            continue;
        Boundaries.push_back((long long)S.st_value);
        Boundaries.push_back((long long)(S.st_value + S.st_size));
    }
    for (size_t From = 0; From < Object->SectionCount; From++) {
        size_t Count;
        const ElfW(Rela)* Table = RelocationTable(*Object, From, &Count);
        for (size_t K = 0; K < Count; K++) {
            const ElfW(Sym)& S = Object->Symbols[ELF64_R_SYM(Table[K].r_info)];
            if (S.st_shndx == Section)
                Boundaries.push_back((long long)(S.st_value + Table[K].r_addend
                    + (ElfW(Sxword))Reach(*Object, From, Table[K])));
        }
    }
    Boundaries.push_back((long long)Object->Sections[Section].sh_size);
    std::sort(Boundaries.begin(), Boundaries.end());
    return Boundaries;
}

// The constant at At (in the section) of a constant section, where no
// symbol of its own covers it: a string up to its end, an entry of a
// section of equal-sized ones, or else the bytes up to the next boundary,
// less the padding zeros before it. Never where it lies, which moves when
// a constant is added before it.
static void SpanOf(
    CodeObject* Object, size_t Section, ElfW(Addr) At, ElfW(Addr) * Start, ElfW(Addr) * End)
{
    const ElfW(Shdr)& S = Object->Sections[Section];
    const unsigned char* Bytes = SectionBytes(*Object, Section);
    ElfW(Xword) Unit = S.sh_entsize;
    if ((S.sh_flags & SHF_MERGE) && Unit > 0 && Bytes != NULL) {
        if (S.sh_flags & SHF_STRINGS) {
            *Start = At;
            *End = S.sh_size;
            for (ElfW(Addr) K = At; S.sh_size - K >= Unit; K += Unit)
                if (std::all_of(
                        Bytes + K, Bytes + K + Unit, [](unsigned char B) { return B == 0; })) {
                    *End = K + Unit;
                    break;
                }
        } else {
            *Start = At - At % Unit;
            *End = *Start + std::min(Unit, S.sh_size - *Start);
        }
        return;
    }
    const std::vector<long long>& Boundaries = BoundariesOf(Object, Section);
    *Start = At;
    *End = (ElfW(Addr)) * std::upper_bound(Boundaries.begin(), Boundaries.end(), (long long)At);
    if (Bytes == NULL)
        return;
    // A string keeps its one zero, a table its relocated fields.
    ElfW(Addr) Keep = At + 1;
    for (const ElfW(Rela) * R : RelocationsIn(*Object, Section, *Start, *End))
        Keep = std::max(Keep, std::min(*End, R->r_offset + FieldSize(ELF64_R_TYPE(R->r_info))));
    while (*End > Keep && Bytes[*End - 1] == 0 && Bytes[*End - 2] == 0)
        (*End)--;
}

// ---- The print ----

// A place from a symbol's value and an addend, which a damaged file may
// set anywhere: wrapping around rather than overflowing.
static long long Plus(unsigned long long Base, unsigned long long Offset)
{
    return (long long)(Base + Offset);
}

static void PutNumber(std::string* Print, long long Number)
{
    *Print += std::to_string(Number);
    *Print += ' ';
}

static void PutText(std::string* Print, const char* Text)
{
    *Print += Text;
    *Print += '\0';
}

// The number of a piece, which is printed in turn once, however often reached.
static size_t Number(Fingerprint* F, size_t Object, size_t Section, ElfW(Addr) Start,
    ElfW(Addr) Size, const char* Name)
{
    auto Key = std::make_tuple(Object, Section, Start);
    auto Found = F->Numbers.find(Key);
    if (Found != F->Numbers.end())
        return Found->second;
    F->Numbers[Key] = F->Pieces.size();
    F->Pieces.push_back({Object, Section, Start, Size, Name});
    return F->Pieces.size() - 1;
}

static void DescribePlace(Fingerprint* F, size_t Object, size_t Section, long long At);

// A reference At bytes into the symbol Symbol of Object.
static void DescribeNamed(
    Fingerprint* F, size_t Object, size_t Symbol, const char* Name, long long At)
{
    const CodeObject& O = F->Objects[Object];
    const ElfW(Sym)& S = O.Symbols[Symbol];
    if (S.st_shndx >= SHN_LORESERVE) {
        PutText(F->Print, S.st_shndx == SHN_ABS ? "value" : "variable");
        PutText(F->Print, Name);
        PutNumber(F->Print, S.st_shndx == SHN_ABS ? Plus(S.st_value, At) : At);
        return;
    }
    Holding Holds = HoldingOf(O, S.st_shndx);
    // A variable's value is the program's, carried from version to version.
    if (Holds == Variables) {
        PutText(F->Print, "variable");
        PutText(F->Print, Name);
        PutNumber(F->Print, At);
    } else if ((Holds == Code || Holds == Constants) && S.st_size > 0) {
        PutText(F->Print, Holds == Code ? "function" : "constant");
        PutNumber(F->Print, (long long)Number(F, Object, S.st_shndx, S.st_value, S.st_size, Name));
        PutText(F->Print, Name);
        PutNumber(F->Print, At);
    } else
        DescribePlace(F, Object, S.st_shndx, Plus(S.st_value, At));
}

// A reference At bytes into Section, by the function or object covering
// that place, else by what lies there.
static void DescribePlace(Fingerprint* F, size_t Object, size_t Section, long long At)
{
    CodeObject& O = F->Objects[Object];
    Holding Holds = HoldingOf(O, Section);
    for (size_t K = 0; Holds != Other && K < O.SymbolCount; K++) {
        const ElfW(Sym)& S = O.Symbols[K];
        int Type = ELF64_ST_TYPE(S.st_info);
        const char* Name = O.Strings + S.st_name;
        if (S.st_shndx == Section && S.st_size > 0 && Named(Name)
            && (Holds == Code ? Type == STT_FUNC : Type == STT_OBJECT || Type == STT_TLS)
            && At >= (long long)S.st_value && (ElfW(Addr))At - S.st_value < S.st_size) {
            DescribeNamed(F, Object, K, Name, At - (long long)S.st_value);
            return;
        }
    }
    const ElfW(Shdr)& S = O.Sections[Section];
    if (Holds == Constants && At >= 0 && (ElfW(Addr))At < S.sh_size) {
        ElfW(Addr) Start, End;
        SpanOf(&O, Section, (ElfW(Addr))At, &Start, &End);
        PutText(F->Print, "constant");
        PutNumber(F->Print, (long long)Number(F, Object, Section, Start, End - Start, ""));
        PutNumber(F->Print, At - (long long)Start);
        return;
    }
    PutText(F->Print, Holds == Code ? "code" : Holds == Variables ? "data" : "other");
    PutText(F->Print, SectionName(O, Section));
    PutNumber(F->Print, At);
}

// What the relocation Relocation of Section in Object reaches.
static void Describe(Fingerprint* F, size_t Object, size_t Section, const ElfW(Rela) & Relocation)
{
    const CodeObject& O = F->Objects[Object];
    size_t Index = ELF64_R_SYM(Relocation.r_info);
    const ElfW(Sym)& S = O.Symbols[Index];
    const char* Name = O.Strings + S.st_name;
    long long At = Plus(Relocation.r_addend, Reach(O, Section, Relocation));
    int Type = ELF64_ST_TYPE(S.st_info);
    if (Index == 0) {
        PutText(F->Print, "none");
        PutNumber(F->Print, At);
    } else if (ELF64_ST_BIND(S.st_info) != STB_LOCAL) {
        // Found by name, in this object or another, as the linker does.
        auto Found = F->Globals.find(Name);
        if (Found != F->Globals.end())
            DescribeNamed(F, Found->second.Object, Found->second.Symbol, Name, At);
        else {
            PutText(F->Print, "outside");
            PutText(F->Print, Name);
            PutNumber(F->Print, At);
        }
    } else if (S.st_shndx == SHN_UNDEF || S.st_shndx >= SHN_LORESERVE
        || ((Type == STT_FUNC || Type == STT_OBJECT || Type == STT_TLS) && Named(Name)))
        DescribeNamed(F, Object, Index, Name, At);
    else
        DescribePlace(F, Object, S.st_shndx, Plus(S.st_value, At));
}

// A piece's bytes, then each relocation in it: its place in the piece, its
// type and what it reaches.
static void PrintPiece(Fingerprint* F, size_t Index)
{
    Piece P = F->Pieces[Index];
    const CodeObject& O = F->Objects[P.Object];
    PutText(F->Print, "\n#");
    PutNumber(F->Print, (long long)Index);
    PutText(F->Print, P.Name.c_str());
    PutNumber(F->Print, (long long)P.Size);
    const unsigned char* Bytes = SectionBytes(O, P.Section);
    if (Bytes != NULL)
        F->Print->append((const char*)Bytes + P.Start, P.Size);
    for (const ElfW(Rela) * R : RelocationsIn(O, P.Section, P.Start, P.Start + P.Size)) {
        PutNumber(F->Print, (long long)(R->r_offset - P.Start));
        PutNumber(F->Print, (long long)ELF64_R_TYPE(R->r_info));
        Describe(F, P.Object, P.Section, *R);
    }
}

bool FingerprintFunction(
    const char* const* Objects, const char* Symbol, std::string* Print, std::string* Error)
{
    Fingerprint F;
    size_t Count = 0;
    while (Objects[Count] != NULL)
        Count++;
    // Sized once: the objects' tables point into their images.
    F.Objects.resize(Count);
    for (size_t I = 0; I < Count; I++)
        if (!ReadObject(Objects[I], &F.Objects[I], Error))
            return false;
    // The first definition of a name in the list, a weak one only where
    // there is no other.
    for (size_t I = 0; I < Count; I++)
        for (size_t K = 0; K < F.Objects[I].SymbolCount; K++) {
            const ElfW(Sym)& S = F.Objects[I].Symbols[K];
            if (ELF64_ST_BIND(S.st_info) == STB_LOCAL || S.st_shndx == SHN_UNDEF)
                continue;
            bool Weak = ELF64_ST_BIND(S.st_info) == STB_WEAK;
            auto Inserted = F.Globals.insert({F.Objects[I].Strings + S.st_name, {I, K}});
            const Definition& Had = Inserted.first->second;
            if (!Inserted.second && !Weak
                && ELF64_ST_BIND(F.Objects[Had.Object].Symbols[Had.Symbol].st_info) == STB_WEAK)
                Inserted.first->second = {I, K};
        }
    auto Found = F.Globals.find(Symbol);
    const ElfW(Sym)* Entry = Found == F.Globals.end()
        ? NULL
        : &F.Objects[Found->second.Object].Symbols[Found->second.Symbol];
    if (Entry == NULL || ELF64_ST_TYPE(Entry->st_info) != STT_FUNC || Entry->st_size == 0
        || Entry->st_shndx >= SHN_LORESERVE
        || HoldingOf(F.Objects[Found->second.Object], Entry->st_shndx) != Code) {
        *Error = std::string("no object defines ") + Symbol;
        return false;
    }
    Print->clear();
    F.Print = Print;
    Number(&F, Found->second.Object, Entry->st_shndx, Entry->st_value, Entry->st_size, Symbol);
    for (size_t K = 0; K < F.Pieces.size(); K++) {
        PrintPiece(&F, K);
        if (Print->size() > MostPrinted) {
            Print->clear();
            *Error = std::string(Symbol) + " reaches too much code and data to compare";
            return false;
        }
    }
    return true;
}
