// Resource archive reads against their yardstick: zlib's uncompress of the
// same stored bytes into buffers allocated beforehand. One archive, written
// at start into the temporary folder, holds a 10 MB entry and 10,000 small
// ones (200 B to 4 KB, as scripts and shaders are). The library reads it as
// the player does, through a file source, and also from memory, which leaves
// out the file reads.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "io/DataSource.h"
#include "io/ROMSource.h"
#include "io/ResourceLibrary.h"
#include "io/ResourceLibraryWriter.h"
#include "io/SDLFileSource.h"

namespace {

const unsigned int kLargeBytes = 10u << 20;
const unsigned int kSmallCount = 10000;
const char kLargeName[] = "data/large.bin";

// Text-like bytes that deflate about 3:1: words from a small vocabulary with
// numbers between them, as in scripts and shader sources.
std::vector<unsigned char> MakeContent(std::mt19937* rng, size_t size) {
    static const char* const sc_words[] = {
        "local", "function", "return", "end", "vec4", "uniform", "float", "gl_FragColor",
        "texture2D", "Vomra_un_Time", "mix", "engine:", "Part", "Pass", "Effect", "then",
        "if", "for", "in", "pairs", "=", "(", ")", ",", "*", "+", "0.5", "\n", "    "};
    const size_t kWords = sizeof sc_words / sizeof sc_words[0];
    std::vector<unsigned char> out;
    out.reserve(size + 32);
    while (out.size() < size) {
        unsigned int pick = (*rng)() % (kWords + 4);
        char number[16];
        const char* word = pick < kWords ? sc_words[pick] : number;
        if (pick >= kWords) snprintf(number, sizeof number, "%u", unsigned((*rng)() % 100000));
        out.insert(out.end(), word, word + strlen(word));
        out.push_back(' ');
    }
    out.resize(size);
    return out;
}

std::string SmallName(unsigned int i) {
    char name[64];
    snprintf(name, sizeof name, "scripts/part%02u/effect%05u.lua", i % 37, i);
    return name;
}

// The archive file and, per entry, its stored bytes and size for the yardstick.
struct Fixture {
    Fixture() {
        std::mt19937 rng(12);
        ResourceLibraryWriter writer;
        std::vector<unsigned char> large = MakeContent(&rng, kLargeBytes);
        writer.Add(kLargeName, large.data(), large.size());
        for (unsigned int i = 0; i < kSmallCount; ++i) {
            std::vector<unsigned char> small = MakeContent(&rng, 200 + rng() % 3900);
            writer.Add(SmallName(i), small.data(), small.size());
            smallBytes += small.size();
        }
        bytes = writer.Build();
        const char* tmp = getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/vomra-bench-archive-" +
               std::to_string(getpid()) + ".res";
        FILE* f = fopen(path.c_str(), "wb");
        ok = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f) ok = fclose(f) == 0 && ok;
        // The index tells where each entry's stored bytes lie.
        ROMSource source(bytes.data(), unsigned(bytes.size()), false);
        ResourceLibrary library(&source);
        ok = ok && library.IsValid() && library.GetResourceCount() == kSmallCount + 1;
        for (unsigned int i = 0; ok && i < library.GetResourceCount(); ++i) {
            const ResourceLibrary::Resource* r = library.GetResourceAt(i);
            entries.push_back({bytes.data() + r->offset, r->compressedSize, r->size});
        }
    }
    ~Fixture() { unlink(path.c_str()); }

    struct Entry {
        const unsigned char* stored;
        unsigned int compressedSize, size;
    };
    std::vector<unsigned char> bytes;
    std::string path;
    std::vector<Entry> entries;  // entries[0] is the large one
    size_t smallBytes = 0;
    bool ok = false;
};

Fixture& GetFixture() {
    static Fixture fixture;
    return fixture;
}

// Inflates every entry from first to last into `out` (room for the largest),
// as the yardstick does it.
bool Uncompress(const Fixture& f, size_t first, size_t last, std::vector<unsigned char>* out) {
    for (size_t i = first; i < last; ++i) {
        const Fixture::Entry& e = f.entries[i];
        uLongf size = e.size;
        if (uncompress(out->data(), &size, e.stored, e.compressedSize) != Z_OK || size != e.size)
            return false;
    }
    return true;
}

void BM_ZlibUncompress_Large(benchmark::State& state) {
    Fixture& f = GetFixture();
    if (!f.ok) return state.SkipWithError("can't write the archive");
    std::vector<unsigned char> out(kLargeBytes);
    for (auto _ : state) {
        if (!Uncompress(f, 0, 1, &out)) return state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kLargeBytes);
}

void BM_ZlibUncompress_Small(benchmark::State& state) {
    Fixture& f = GetFixture();
    if (!f.ok) return state.SkipWithError("can't write the archive");
    std::vector<unsigned char> out(8192);
    for (auto _ : state) {
        if (!Uncompress(f, 1, f.entries.size(), &out))
            return state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.smallBytes));
}

// fromFile: the library reads a file source, as the player opens its archive.
std::unique_ptr<DataSource> OpenArchive(const Fixture& f, bool fromFile) {
    if (fromFile) return std::unique_ptr<DataSource>(new SDLFileSource(f.path.c_str()));
    return std::unique_ptr<DataSource>(
        new ROMSource(f.bytes.data(), unsigned(f.bytes.size()), false));
}

void LibraryLarge(benchmark::State& state, bool fromFile) {
    Fixture& f = GetFixture();
    if (!f.ok) return state.SkipWithError("can't write the archive");
    std::unique_ptr<DataSource> source = OpenArchive(f, fromFile);
    ResourceLibrary library(source.get());
    for (auto _ : state) {
        std::unique_ptr<DataSource> entry(library.GetResource(kLargeName));
        if (!entry || entry->GetLength() != kLargeBytes)
            return state.SkipWithError("lookup failed");
        benchmark::DoNotOptimize(entry.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kLargeBytes);
}

void LibrarySmall(benchmark::State& state, bool fromFile) {
    Fixture& f = GetFixture();
    if (!f.ok) return state.SkipWithError("can't write the archive");
    std::vector<std::string> names;
    for (unsigned int i = 0; i < kSmallCount; ++i) names.push_back(SmallName(i));
    std::unique_ptr<DataSource> source = OpenArchive(f, fromFile);
    ResourceLibrary library(source.get());
    for (auto _ : state) {
        for (const std::string& name : names) {
            std::unique_ptr<DataSource> entry(library.GetResource(name.c_str()));
            if (!entry) return state.SkipWithError("lookup failed");
            benchmark::DoNotOptimize(entry.get());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.smallBytes));
}

void BM_Library_Large_File(benchmark::State& state) { LibraryLarge(state, true); }
void BM_Library_Large_Memory(benchmark::State& state) { LibraryLarge(state, false); }
void BM_Library_Small_File(benchmark::State& state) { LibrarySmall(state, true); }
void BM_Library_Small_Memory(benchmark::State& state) { LibrarySmall(state, false); }

BENCHMARK(BM_ZlibUncompress_Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Library_Large_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Library_Large_Memory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibUncompress_Small)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Library_Small_File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Library_Small_Memory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
