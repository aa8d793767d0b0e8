// SPDX-License-Identifier: MIT
// Preloaded into a program under test: keeps count of the heap blocks that the program's
// own code holds, apart from those of the libraries it calls, whose caches (the GL
// driver's above all) grow and shrink with the machine's load. A block is the program's
// when the operator new that made it was called from the program's own code; the
// programs allocate nothing else.
//
// HEAPWATCH_DIR names a folder. Process <pid> keeps its count in the file <pid> there:
// three 64-bit integers (bytes, blocks, and 1 once more blocks were held than the table
// below can keep), mapped shared, so that a test reads them whenever it likes.
//
//   LD_PRELOAD=libheapwatch.so HEAPWATCH_DIR=/tmp/d program
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <link.h>
#include <new>
#include <pthread.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

struct counts {
    std::int64_t Bytes;
    std::int64_t Blocks;
    std::int64_t Overflowed;
};

// The program's own blocks are few (its population, a buffer or two): a small
// open-addressed table of them is plenty, and a lookup for every delete is cheap.
constexpr std::size_t SLOTS = 1 << 12;
char Tombstone;
void* const FREED = &Tombstone;

struct slot {
    void* Block;
    std::size_t Size;
};

slot Table[SLOTS];
pthread_mutex_t Lock = PTHREAD_MUTEX_INITIALIZER;
counts* Shared = nullptr;
std::uintptr_t CodeStart = 0;
std::uintptr_t CodeEnd = 0;

std::size_t Home(const void* block) {
    return (reinterpret_cast<std::uintptr_t>(block) >> 4) * 0x9E3779B97F4A7C15u % SLOTS;
}

void* Made(std::size_t size, const void* caller) {
    void* block = std::malloc(size ? size : 1);
    if (!block) {
        throw std::bad_alloc();
    }
    auto at = reinterpret_cast<std::uintptr_t>(caller);
    if (!Shared || at < CodeStart || at >= CodeEnd) {
        return block;
    }
    pthread_mutex_lock(&Lock);
    std::size_t i = Home(block);
    for (std::size_t n = 0; n < SLOTS && Table[i].Block && Table[i].Block != FREED; n++) {
        i = (i + 1) % SLOTS;
    }
    if (Table[i].Block && Table[i].Block != FREED) {
        Shared->Overflowed = 1;
    } else {
        Table[i] = {block, size};
        Shared->Bytes += static_cast<std::int64_t>(size);
        Shared->Blocks++;
    }
    pthread_mutex_unlock(&Lock);
    return block;
}

void Freed(void* block) {
    if (block && Shared) {
        pthread_mutex_lock(&Lock);
        for (std::size_t i = Home(block), n = 0; n < SLOTS && Table[i].Block;
             i = (i + 1) % SLOTS, n++) {
            if (Table[i].Block == block) {
                Shared->Bytes -= static_cast<std::int64_t>(Table[i].Size);
                Shared->Blocks--;
                Table[i].Block = FREED;
                break;
            }
        }
        pthread_mutex_unlock(&Lock);
    }
    std::free(block);
}

// The first object the loader lists is the program itself; its executable segments are
// its code.
int FindProgram(dl_phdr_info* info, std::size_t, void*) {
    for (int i = 0; i < info->dlpi_phnum; i++) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD && (ph.p_flags & PF_X)) {
            std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
            CodeStart = CodeStart ? std::min(CodeStart, start) : start;
            CodeEnd = std::max<std::uintptr_t>(CodeEnd, start + ph.p_memsz);
        }
    }
    return 1;
}

__attribute__((constructor)) void Start() {
    const char* dir = std::getenv("HEAPWATCH_DIR");
    if (!dir) {
        return;
    }
    std::string path = std::string(dir) + "/" + std::to_string(getpid());
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, sizeof(counts)) != 0) {
        return;
    }
    void* mapped = mmap(nullptr, sizeof(counts), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped != MAP_FAILED) {
        dl_iterate_phdr(FindProgram, nullptr);
        // A child forked from the program shares the mapping; only the program counts.
        pthread_atfork(nullptr, nullptr, [] { Shared = nullptr; });
        Shared = static_cast<counts*>(mapped);
    }
}

} // namespace

void* operator new(std::size_t size) {
    return Made(size, __builtin_return_address(0));
}
void* operator new[](std::size_t size) {
    return Made(size, __builtin_return_address(0));
}
void operator delete(void* block) noexcept {
    Freed(block);
}
void operator delete[](void* block) noexcept {
    Freed(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Freed(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Freed(block);
}
