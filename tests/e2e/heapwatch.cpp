// Preloaded into a program under test: keeps count of the heap blocks that the program's
// own code holds, apart from those of the libraries it calls, whose caches (the GL
// driver's above all) grow and shrink with the machine's load. A block is the program's
// when the call that made it returns into the program's own code.
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

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}

namespace {

struct counts {
    std::int64_t Bytes;
    std::int64_t Blocks;
    std::int64_t Overflowed;
};

// The program's own blocks are few (its population, a few buffers): a small open-addressed
// table of them is plenty, and a lookup for every free of the process is cheap.
constexpr std::size_t SLOTS = 1 << 14;
void* const FREED = reinterpret_cast<void*>(1);

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

bool Ours(const void* caller) {
    auto at = reinterpret_cast<std::uintptr_t>(caller);
    return Shared && at >= CodeStart && at < CodeEnd;
}

void Note(void* block, std::size_t size, const void* caller) {
    if (!block || !Ours(caller)) {
        return;
    }
    pthread_mutex_lock(&Lock);
    for (std::size_t i = Home(block), n = 0; n < SLOTS; i = (i + 1) % SLOTS, n++) {
        if (!Table[i].Block || Table[i].Block == FREED) {
            Table[i] = {block, size};
            Shared->Bytes += static_cast<std::int64_t>(size);
            Shared->Blocks++;
            pthread_mutex_unlock(&Lock);
            return;
        }
    }
    Shared->Overflowed = 1;
    pthread_mutex_unlock(&Lock);
}

void Forget(void* block) {
    if (!block || !Shared) {
        return;
    }
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

// A child forked from the program shares the mapping; only the program counts in it.
void StopCounting() {
    Shared = nullptr;
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
    if (mapped == MAP_FAILED) {
        return;
    }
    dl_iterate_phdr(FindProgram, nullptr);
    pthread_atfork(nullptr, nullptr, StopCounting);
    Shared = static_cast<counts*>(mapped);
}

void* Made(void* block, std::size_t size, const void* caller) {
    Note(block, size, caller);
    return block;
}

void* MadeOrThrow(void* block, std::size_t size, const void* caller) {
    if (!block) {
        throw std::bad_alloc();
    }
    return Made(block, size, caller);
}

} // namespace

extern "C" {
void* malloc(std::size_t size) {
    return Made(__libc_malloc(size), size, __builtin_return_address(0));
}
void* calloc(std::size_t n, std::size_t size) {
    return Made(__libc_calloc(n, size), n * size, __builtin_return_address(0));
}
void* realloc(void* block, std::size_t size) {
    void* moved = __libc_realloc(block, size);
    if (moved || size == 0) {
        Forget(block);
    }
    return Made(moved, size, __builtin_return_address(0));
}
void free(void* block) {
    Forget(block);
    __libc_free(block);
}
}

void* operator new(std::size_t size) {
    return MadeOrThrow(__libc_malloc(size ? size : 1), size, __builtin_return_address(0));
}
void* operator new[](std::size_t size) {
    return MadeOrThrow(__libc_malloc(size ? size : 1), size, __builtin_return_address(0));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Made(__libc_malloc(size ? size : 1), size, __builtin_return_address(0));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Made(__libc_malloc(size ? size : 1), size, __builtin_return_address(0));
}
void operator delete(void* block) noexcept {
    free(block);
}
void operator delete[](void* block) noexcept {
    free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    free(block);
}
